#include "records/run_tracker.h"

#include <filesystem>

namespace records {
namespace {

constexpr const char* kStoppedText = "Stopped before the run ended.";
constexpr const char* kUnendedText = "The run ended without a result.";
constexpr const char* kClosedText = "The station closed before the run ended.";

bool isWorking(Stage stage) {
  return stage == Stage::Cp || stage == Stage::Ap || stage == Stage::Tp || stage == Stage::Efs;
}

std::optional<int64_t>* stageTime(RunRecord& record, Stage stage) {
  switch (stage) {
    case Stage::Cp:
      return &record.cpMs;
    case Stage::Ap:
      return &record.apMs;
    case Stage::Tp:
      return &record.tpMs;
    case Stage::Efs:
      return &record.efsMs;
    default:
      return nullptr;
  }
}

std::string dutLogPath(int dut) {
  const std::string name = "Dut" + std::to_string(dut) + ".log";
  std::error_code error;
  const auto folder = std::filesystem::current_path(error);
  return error ? name : (folder / name).string();
}

}  // namespace

std::string stageName(Stage stage) {
  switch (stage) {
    case Stage::Cp:
      return "CP";
    case Stage::Ap:
      return "AP";
    case Stage::Tp:
      return "TP";
    case Stage::Efs:
      return "EFS";
    default:
      return "";
  }
}

RunTracker::RunTracker(RecordSink& sink, ImageHasher& hasher, std::string station)
    : sink_(sink), hasher_(hasher), station_(std::move(station)) {}

void RunTracker::firmwareLoaded(const std::string& platform, const std::string& folder,
                                std::vector<FirmwareFile> files) {
  auto images = hasher_.load(platform, folder, std::move(files));
  std::lock_guard lock(mutex_);
  firmware_ = std::move(images);
}

void RunTracker::workerStarted(int number, const RunOptions& options) {
  std::optional<Finished> unended;
  {
    std::lock_guard lock(mutex_);
    Dut& dut = duts_[number];
    if (dut.run && dut.run->active && !dut.run->wentIdle) return;  // the run goes on
    if (dut.run && dut.run->active) unended = finishUnended(dut, kUnendedText);
    // A run that saw nothing yet (a worker that found nothing to do) starts afresh.
    open(dut, number, options);
  }
  store(std::move(unended));
}

void RunTracker::open(Dut& dut, int number, const RunOptions& options) {
  OpenRun run;
  run.record.uid = newRunUid();
  run.record.station = station_;
  run.record.dut = number;
  run.record.backupQcn = options.backupQcn;
  run.record.onlyAp = options.onlyAp;
  run.record.onlyQcn = options.onlyQcn;
  run.record.startTime = utcTimeText();
  run.record.dutLog = dutLogPath(number);
  run.firmware = firmware_;
  if (firmware_) {
    run.record.platform = firmware_->platform();
    run.record.firmwareFolder = firmware_->folder();
  }
  run.stageSince = Clock::now();
  if (isWorking(dut.stage)) run.lastWorkingStage = dut.stage;
  dut.run = std::move(run);
}

// Adds the time since the current stage began to that stage's total.
void RunTracker::closeStage(Dut& dut) {
  OpenRun& run = *dut.run;
  const auto now = Clock::now();
  if (auto* total = stageTime(run.record, dut.stage)) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - run.stageSince);
    *total = total->value_or(0) + ms.count();
  }
  run.stageSince = now;
}

void RunTracker::stageChanged(int number, Stage stage) {
  std::lock_guard lock(mutex_);
  Dut& dut = duts_[number];
  if (stage == dut.stage) return;
  if (dut.run) {
    closeStage(dut);
    if (isWorking(stage)) {
      dut.run->active = true;
      dut.run->lastWorkingStage = stage;
    }
    if (stage == Stage::Idle && dut.run->active) dut.run->wentIdle = true;
  }
  dut.stage = stage;
}

void RunTracker::messageLogged(int number, const std::string& text) {
  std::lock_guard lock(mutex_);
  Dut& dut = duts_[number];
  dut.lastMessage = text;
  if (!dut.run) return;
  dut.run->active = true;
  if (isWorking(dut.stage)) dut.run->stageMessage = text;
}

void RunTracker::statusReported(int number, int status) {
  std::optional<Finished> finished;
  {
    std::lock_guard lock(mutex_);
    Dut& dut = duts_[number];
    dut.lastStatus = status;
    if (!dut.run) return;
    dut.run->active = true;
    if (status > 0) return;
    finished = finish(dut, status == 0 ? "pass" : "fail", status, "");
  }
  store(std::move(finished));
}

void RunTracker::imeiRead(int number, const std::string& imei) {
  std::lock_guard lock(mutex_);
  duts_[number].imei = imei;
}

void RunTracker::meidRead(int number, const std::string& meid) {
  std::lock_guard lock(mutex_);
  duts_[number].meid = meid;
}

void RunTracker::qcnFileUsed(int number, const std::string& path) {
  std::lock_guard lock(mutex_);
  duts_[number].qcnFile = path;
}

void RunTracker::slotStopped(int number) {
  std::optional<Finished> stopped;
  {
    std::lock_guard lock(mutex_);
    Dut& dut = duts_[number];
    if (dut.run && dut.run->active) stopped = finishUnended(dut, kStoppedText);
    dut.run.reset();
  }
  store(std::move(stopped));
}

void RunTracker::closeAll() {
  std::vector<Finished> unended;
  {
    std::lock_guard lock(mutex_);
    for (auto& [number, dut] : duts_) {
      if (dut.run && dut.run->active) unended.push_back(finishUnended(dut, kClosedText));
      dut.run.reset();
    }
  }
  for (Finished& finished : unended) store(std::move(finished));
}

// Ends the open run with its result. The identity and QCN file seen since the last run ended
// belong to this one.
RunTracker::Finished RunTracker::finish(Dut& dut, const std::string& result, int status,
                                        const std::string& failure) {
  closeStage(dut);
  OpenRun run = std::move(*dut.run);
  dut.run.reset();
  RunRecord& r = run.record;
  r.endTime = utcTimeText();
  r.result = result;
  r.status = status;
  r.message = dut.lastMessage;
  if (result != "pass") {
    r.failedStage = stageName(isWorking(dut.stage) ? dut.stage : run.lastWorkingStage);
    r.failureMessage = failure.empty() ? run.stageMessage : failure;
  }
  r.imei = dut.imei;
  r.meid = dut.meid;
  r.qcnFile = dut.qcnFile;
  dut.imei.clear();
  dut.meid.clear();
  dut.qcnFile.clear();
  return {std::move(r), std::move(run.firmware)};
}

RunTracker::Finished RunTracker::finishUnended(Dut& dut, const std::string& why) {
  // A run cut short was still working (or never said otherwise): it did not pass.
  return finish(dut, "fail", dut.lastStatus > 0 ? dut.lastStatus : -1, why);
}

void RunTracker::store(std::optional<Finished> finished) {
  if (finished) sink_.store(std::move(finished->record), std::move(finished->firmware));
}

}  // namespace records
