// The Qca9x07 CP download: optional QCN backup, the hand-over from the vendor phone server,
// the switch of the module into download mode, the flash programmer's upload over Sahara and
// the streaming download of the user partitions.

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/qca9x07_text_log.h"
#include "chipsets/sahara_upload.h"
#include "chipsets/streaming_download.h"
#include "host/station_options.h"
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
constexpr DownloadPortWait kPortWait = {2.0, "Waiting port...", true};
constexpr SaharaUpload kSahara = {
    true,
    1.0,
    5,
    1.5,
    5000,
    "Connect Sahara Server failed, Please repower No%d DUT.",
    "Unable to download Flash Programmer using Sahara Protocol, Please repower No%d DUT.",
    -1,
    qca9x07SaharaLogCallBack,
};

const StreamingDownload& streaming() {
  static const StreamingDownload kStreaming = {
      qca9x07TextLogCallBack, &qca9x07TextLog(), kPartitionTimeoutMs, false, true,
  };
  return kStreaming;
}

// Before the download, with backup/restore on and the diagnostic port: the module's QCN.
bool backUpQcn(const CpRun& run, bool qphonems) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return true;
  if (chipsetServices().checkCfun(run.request) != 0) return false;
  const int op = bUseQcnQca9x07 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, qphonems ? 1 : 0) == 0;
}

// On the diagnostic port: connect, report the module, switch it to download mode and wait
// for its download port.
bool switchToDownload(CpRun& run) {
  if (!connectDiagnostic(run, run.request.diaport, 1, kConnectFailed)) return false;
  fn_QLIB_FlushRxBuffer(run.diag);
  if (!fn_QLIB_IsPhoneConnected(run.diag)) {
    run.say(
        formatText("Phone Connection Status: FAIL,Please wait retry connect No%d DUT.", run.dut));
    if (!cpWait(2.0)) return false;
  }
  chipsetServices().printVersion(run.request);
  if (!switchToDownloadMode(run, kSwitch)) return false;
  run.say("Waiting switch To Download Mode...");
  if (!cpWait(2.0) || !cpWait(iDLDelayTime)) return false;
  return waitForDownloadPort(run, kPortWait);
}

// Streams the user partitions through the programmer that now runs in the module.
CpResult stream(CpRun& run) {
  if (!connectDiagnostic(run, run.port, 1, kConnectFailed)) {
    run.mapEntry() = nullptr;
    return CpResult::NoConnection;
  }
  const Qca9x07Firmware& fw = qca9x07Firmware();
  switch (streamPartitions(run, streaming(), {fw.partitionFile, fw.userPartitions})) {
    case StreamResult::Success:
      setUpdatedCp(run.dut, 1);
      setPartionDiff(run.dut, 0);
      return CpResult::Success;
    case StreamResult::PartitionDiff:
      setPartionDiff(run.dut, 1);
      return CpResult::Failed;
    case StreamResult::Failed:
      break;
  }
  return CpResult::Failed;
}

// Everything from the switch to the end of the streaming download.
CpResult runDownload(CpRun& run) {
  if (run.request.portKind == kDiagnosticPort && !switchToDownload(run)) return CpResult::Failed;
  if (uploadProgrammer(run, kSahara, kSaharaMode) != 0) return CpResult::Failed;
  return stream(run);
}

}  // namespace

int downloadCpQca9x07(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  initLogfile(run.dut, "9x07");
  resetQca9x07CurrentProgress();
  // The flags describe this run from its start, never a previous module's.
  setUpdatedCp(run.dut, 0);
  setPartionDiff(run.dut, 0);
  const bool qphonems = gNotUseQPST != 0;
  if (!backUpQcn(run, qphonems)) return -1;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  stopPhoneServer();
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  const Qca9x07Firmware& fw = qca9x07Firmware();
  choosePortAndProgrammer(run, fw.normalProgrammer, fw.emergencyProgrammer);
  if (!cpWait(2.5)) return -1;
  logLibraryLines(run);
  setUpdatedCp(run.dut, 0);
  return finishCpRun(run, runDownload(run));
}
