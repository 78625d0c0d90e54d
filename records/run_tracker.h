#pragma once
// Puts each DUT's run together from the station's events: it starts with the first worker,
// times every stage, keeps the module's identity, the last messages and the QCN file, and
// ends with the first final status (0 passed, negative failed), a stop or the station's close.
// A finished run goes to the sink, which returns once the run is safe.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "records/run_events.h"
#include "records/run_record.h"

namespace records {

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Keeps the run; its images are the load's digests, filled in by the sink.
  virtual void store(RunRecord record, std::shared_ptr<const FirmwareImages> firmware) = 0;
};

class RunTracker : public RunEvents {
 public:
  using Clock = std::chrono::steady_clock;

  // `hasher` hashes every firmware load; `station` names this station in every run.
  RunTracker(RecordSink& sink, ImageHasher& hasher, std::string station);

  void firmwareLoaded(const std::string& platform, const std::string& folder,
                      std::vector<FirmwareFile> files) override;
  void workerStarted(int dut, const RunOptions& options) override;
  void stageChanged(int dut, Stage stage) override;
  void messageLogged(int dut, const std::string& text) override;
  void statusReported(int dut, int status) override;
  void imeiRead(int dut, const std::string& imei) override;
  void meidRead(int dut, const std::string& meid) override;
  void qcnFileUsed(int dut, const std::string& path) override;
  void slotStopped(int dut) override;

  // The station closes: every run still going is recorded as not finished.
  void closeAll();

 private:
  struct OpenRun {
    RunRecord record;
    std::shared_ptr<const FirmwareImages> firmware;
    Clock::time_point stageSince;
    Stage lastWorkingStage = Stage::Idle;
    std::string stageMessage;  // the last message while a working stage ran
    bool active = false;       // a stage, message or status has come since it opened
    bool wentIdle = false;     // the slot went idle without a result: the next worker starts anew
  };
  struct Dut {
    Stage stage = Stage::Idle;
    int lastStatus = 0;
    std::string lastMessage;
    std::string imei, meid, qcnFile;
    std::optional<OpenRun> run;
  };
  struct Finished {
    RunRecord record;
    std::shared_ptr<const FirmwareImages> firmware;
  };

  void open(Dut& dut, int number, const RunOptions& options);
  void closeStage(Dut& dut);
  Finished finish(Dut& dut, const std::string& result, int status, const std::string& failure);
  Finished finishUnended(Dut& dut, const std::string& why);
  void store(std::optional<Finished> finished);

  RecordSink& sink_;
  ImageHasher& hasher_;
  const std::string station_;
  std::mutex mutex_;
  std::shared_ptr<const FirmwareImages> firmware_;
  std::map<int, Dut> duts_;
};

// The name of the stage as the records write it ("CP", "AP", "TP", "EFS"; "" otherwise).
std::string stageName(Stage stage);

}  // namespace records
