// The Qca9x15 CP download: optional NV writes and QCN backup, the hand-over from the vendor
// phone server, the switch of the module into download mode on the same COM number, and the
// streaming download, in which the library uploads the hex flash programmer itself.

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x15_firmware.h"
#include "chipsets/qca9x15_text_log.h"
#include "chipsets/streaming_download.h"
#include "host/serial_port.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

namespace {

constexpr int kConnectTries = 3;
constexpr unsigned kProgrammerLogFlags = 65535;
constexpr unsigned short kTextCategory = 4;
constexpr unsigned kNopTimeoutMs = 1000;
constexpr unsigned kPartitionTimeoutMs = 3000;

constexpr char kConnectFailed[] = "ConnectServer failed, Please repower %d DUT.";

constexpr PhoneServerHandOver kHandOver = {true, "Waiting all qpst finished..."};
constexpr DownloadSwitch kSwitch = {0.5, 0.0,
                                    "SwitchToDownloadMode failed, Please repower %d DUT."};
// The module comes back on the same COM number.
constexpr DownloadPortWait kPortWait = {2.0, nullptr, false};

const StreamingDownload& streaming() {
  static const StreamingDownload kStreaming = {
      qca9x15TextLogCallBack, &qca9x15TextLog(), kPartitionTimeoutMs, true, true,
  };
  return kStreaming;
}

// Before anything else, when the station asks for it: NV items 3628 and 3629 are cleared.
bool writeNvItems(const CpRun& run) {
  if (!gWriteNv) return true;
  if (chipsetServices().writeNvItem(run.request) != 0) return true;
  run.say(formatText("Write NvItem failed, Please repower %d DUT.", run.dut));
  return false;
}

// With backup/restore on and the diagnostic port: the module's QCN. 0 or the failure.
int backUpQcn(const CpRun& run, bool qphonems) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return 0;
  if (const int result = chipsetServices().checkCfun(run.request); result != 0) return result;
  const int op = bUseQcnQca9x15 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, qphonems ? 1 : 0);
}

// On the diagnostic port: the switch, watched through the programmer text callback, then the
// wait for the same COM number and a fresh connection on it.
bool switchToDownload(CpRun& run) {
  if (!cpWait(2.5)) return false;
  fn_QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack(run.diag, qca9x15ProgrammerTextCallBack);
  fn_QLIB_SetLogFlags(run.diag, kProgrammerLogFlags);
  fn_QLIB_ExtendedTextMessage_SetCategoryEnable(run.diag, kTextCategory, 1);
  if (!switchToDownloadMode(run, kSwitch)) return false;
  run.say("Waiting switch To Download Mode...");
  if (!cpWait(10.0) || !waitForDownloadPort(run, kPortWait)) return false;
  return connectDiagnostic(run, run.port, 1, kConnectFailed);
}

// On the 9008 port the module must answer the download no-op before the download; one that
// does not would otherwise end the step without writing anything.
bool checkEmergencyPort(const CpRun& run) {
  if (fn_QLIB_QPHONEMS_DLoad_SendNop(run.diag, kNopTimeoutMs) != 0) return true;
  run.say(formatText("Download port not answering, Please repower %d DUT.", run.dut));
  return false;
}

// Everything from the first connection to the end of the streaming download.
int runDownload(CpRun& run) {
  if (!connectDiagnostic(run, run.port, kConnectTries, kConnectFailed)) return -1;
  if (run.request.portKind == kDiagnosticPort && !switchToDownload(run)) return -1;
  if (run.request.portKind == kEmergencyPort && !checkEmergencyPort(run)) return -1;
  const Qca9x15Firmware& fw = qca9x15Firmware();
  return streamPartitionsOrReport(run, streaming(), {fw.partitionFile, fw.userPartitions});
}

// From the QCN backup on, every end closes the AT port and the run's connection.
int finish(CpRun& run, int result) {
  CloseCom(run.request.atport);
  closeCpRun(run);
  return result;
}

int download(CpRun& run) {
  const int backup = backUpQcn(run, gNotUseQPST != 0);
  if (backup != 0) return backup;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  stopPhoneServer();
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  const Qca9x15Firmware& fw = qca9x15Firmware();
  choosePortAndProgrammer(run, fw.normalProgrammer, fw.emergencyProgrammer);
  if (!cpWait(0.5)) return -1;
  return runDownload(run);
}

}  // namespace

int downloadCpQca9x15(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  initLogfile(run.dut, "9x15");
  if (!writeNvItems(run)) return -1;
  return finish(run, download(run));
}
