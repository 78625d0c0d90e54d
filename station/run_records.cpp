#include "station/run_records.h"

#include <filesystem>
#include <vector>

#include "host/report.h"
#include "host/station_options.h"
#include "records/recorder.h"
#include "records/run_events.h"
#include "station/station_config.h"
#include "station/station_state.h"

namespace {

records::Stage stageOf(SlotState state) {
  switch (state) {
    case DUT_CP_DOWNLOAD:
      return records::Stage::Cp;
    case DUT_TO_FASTBOOT:
    case DUT_AP_DOWNLOAD:
      return records::Stage::Ap;
    case DUT_QCN_RESTORE:
      return records::Stage::Tp;
    case DUT_CHECK_EFS:
    case DUT_BACKUP_EFS:
      return records::Stage::Efs;
    case DUT_IDLE:
      return records::Stage::Idle;
    default:
      return records::Stage::Waiting;
  }
}

std::string platformName(PlatformType type) {
  static const char* const kNames[kPlatformTypeCount] = {"Qca9x15", "Qca9x25", "Qca8909", "Qca9x07",
                                                         "Qca9206", "Qca6695", "Qca6270"};
  return type >= 0 && type < kPlatformTypeCount ? kNames[type] : "";
}

void forwardMessage(int dut, const std::string& text) {
  records::runEvents().messageLogged(dut, text);
}

void forwardStatus(int dut, int status) {
  records::runEvents().statusReported(dut, status);
}

const ReportListener kForwardReports = {forwardMessage, forwardStatus};

}  // namespace

void startRunRecords(const StationConfig& config) {
  std::error_code error;
  const std::string folder = std::filesystem::current_path(error).string();
  const auto settings =
      records::recordSettings(config.recordDatabase, config.recordStation, error ? "." : folder);
  if (!settings) return;
  records::startRecording(*settings,
                          [](int dut, const std::string& line) { saveDutLog(dut, line); });
  setReportListener(&kForwardReports);
}

void stopRunRecords() {
  setReportListener(nullptr);
  records::stopRecording();
}

void noteSlotState(int dut, SlotState state) {
  records::runEvents().stageChanged(dut, stageOf(state));
}

void noteWorkerScheduled(int dut) {
  records::runEvents().workerStarted(dut, {gBackupRestoreQcn, gOnlyAp, gOnlyQcn});
}

void noteSlotStopped(int dut) {
  records::runEvents().slotStopped(dut);
}

void noteFirmwareLoaded(const host::FileTable& table) {
  std::vector<records::FirmwareFile> files;
  for (int row = 2; row <= table.rowCount(); ++row) {
    if (!table.path(row).empty()) files.push_back({table.label(row), table.path(row)});
  }
  records::runEvents().firmwareLoaded(platformName(pPlatforms ? pPlatforms->type : em),
                                      table.path(1), std::move(files));
}
