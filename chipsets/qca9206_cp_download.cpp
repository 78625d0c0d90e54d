// The Qca9206 CP download: optional QCN backup, the hand-over from the vendor phone server,
// the refusal of 1 GB firmware on a module with 512 MB flash, the switch into download mode,
// the flash programmer's upload over Sahara and the library's user-partition download of the
// images that the firmware's partition XML file lists.

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca9206.h"
#include "chipsets/qca9206_firmware.h"
#include "chipsets/qca9206_text_log.h"
#include "chipsets/sahara_upload.h"
#include "chipsets/streaming_download.h"
#include "host/station_options.h"
#include "platform/at_commands.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

namespace {

constexpr unsigned kSaharaMode = 2;
constexpr unsigned kPartitionTimeoutMs = 5000;

constexpr char kConnectFailed[] = "Connect server port failed, Please repower No%d DUT.";

constexpr PhoneServerHandOver kHandOver = {true, "Waiting all qpst finished..."};
constexpr DownloadSwitch kSwitch = {0.0, 2.5,
                                    "Switch download mode failed,please repower No%d DUT."};
// The module keeps its COM number in download mode: the run waits for that port.
constexpr DownloadPortWait kPortWait = {2.0, nullptr, false};
constexpr SaharaUpload kSahara = {
    true,
    1.0,
    5,
    3.5,
    500,
    "Connect Sahara Server failed, Please repower No%d DUT.",
    "Unable to download Flash Programmer using Sahara Protocol, Please repower No%d DUT.",
    -1,
    qca9206SaharaTextCallBack,
    false,
};

const StreamingDownload& streaming() {
  static const StreamingDownload kStreaming = {
      qca9206TextLogCallBack,
      &qca9206TextLog(),
      kPartitionTimeoutMs,
      false,
      true,
      "Download Success!",
      "Download Failed!",
      "Download Failed!,Partition diff!",
      true,
  };
  return kStreaming;
}

// Before the download, with backup/restore on and the diagnostic port: the module's QCN.
// Returns the failing step's result, or 0.
int backUpQcn(const CpRun& run) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return 0;
  if (const int result = chipsetServices().checkCfun(run.request); result != 0) return result;
  const int op = bUseQcnQca9206 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, gNotUseQPST != 0 ? 1 : 0);
}

// Firmware built for 1 GB flash must not go onto a module whose flash identification is one
// of the 512 MB ones.
bool firmwareFitsFlash(const CpRun& run) {
  std::string flashId;
  chipsetServices().readDeviceInfo(run.request, &flashId);
  if (!qca9206Firmware().firmware1G || sFlash512.empty() || flashId.empty() ||
      sFlash512.find(flashId) == std::string::npos) {
    return true;
  }
  run.say(formatText(
      "You can't download 1G firmware to 512 Flash!, Please check No%d DUT firmware version.",
      run.dut));
  return false;
}

// On the diagnostic port: connect, report the module, switch it to download mode and wait
// for its download port.
bool switchToDownload(CpRun& run) {
  if (!connectDiagnostic(run, run.request.diaport, 1, kConnectFailed)) return false;
  if (!cpWait(2.5)) return false;
  fn_QLIB_FlushRxBuffer(run.diag);
  if (!fn_QLIB_IsPhoneConnected(run.diag)) {
    run.say(formatText("Phone Connection Status: FAIL,Please repower No%d DUT.", run.dut));
  }
  chipsetServices().printVersion(run.request);
  if (!switchToDownloadMode(run, kSwitch)) return false;
  run.say("Waiting switch To Download Mode...");
  return waitForDownloadPort(run, kPortWait);
}

// Writes the listed images through the programmer that now runs in the module.
CpResult downloadPartitions(CpRun& run) {
  if (!connectDiagnostic(run, run.port, 1, kConnectFailed)) {
    run.mapEntry() = nullptr;
    return CpResult::NoConnection;
  }
  const Qca9206Firmware& fw = qca9206Firmware();
  const StreamFiles files = fw.longLayout ? StreamFiles(fw.partitionFile, fw.longList)
                                          : StreamFiles(fw.partitionFile, fw.shortList);
  return streamPartitions(run, streaming(), files) == StreamResult::Success ? CpResult::Success
                                                                            : CpResult::Failed;
}

// Everything from the flash check to the end of the partition download.
CpResult runDownload(CpRun& run) {
  if (run.request.portKind == kDiagnosticPort) {
    if (!firmwareFitsFlash(run) || !switchToDownload(run)) return CpResult::Failed;
  }
  if (uploadProgrammer(run, kSahara, kSaharaMode) != 0) return CpResult::Failed;
  return downloadPartitions(run);
}

}  // namespace

int downloadCpQca9206(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  qca9206TextLog().resetCurrentProgress();
  initLogfile(run.dut, "9206");
  if (const int result = backUpQcn(run); result != 0) return result;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  stopPhoneServer();
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  choosePortAndProgrammer(run, qca9206Firmware().normalProgrammer,
                          qca9206Firmware().emergencyProgrammer);
  if (!cpWait(2.5)) return -1;
  logLibraryLines(run);
  return finishCpRun(run, runDownload(run));
}
