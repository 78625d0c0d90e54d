// The Qca6270/Qca6695 CP download: optional QCN backup, the hand-over from the vendor phone
// server, on the diagnostic port a first connection that brings the module into download mode,
// then a second connection on which the library uploads the hex programmer and every boot and
// modem image in one call.

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca6x.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

namespace {

constexpr unsigned kNopTimeoutMs = 1000;
constexpr unsigned kResetTimeoutMs = 3000;
constexpr unsigned kSwitchTimeoutMs = 3000;
constexpr unsigned kLogFlags = 9;
constexpr unsigned short kTextCategory = 4;
constexpr unsigned kHelloTimeoutMs = 5000;
constexpr unsigned kImageTimeoutMs = 5000;
// Seconds a module is given to restart into download mode after its first connection.
constexpr double kRestartSeconds = 5.0;

constexpr char kServerConnectFailed[] = "服务器连接端口失败, 请将 %d 号DUT重新放入并开机";
constexpr char kPhoneNotConnected[] = "Phone Connection Status: FAIL,Please repower No%d DUT.";
constexpr char kConnectFailed[] = "Connect server port failed, Please repower No%d DUT.";

constexpr PhoneServerHandOver kHandOver = {true, "Waiting all qpst finished..."};
// The download port keeps the COM number of the diagnostic port.
constexpr DownloadPortWait kPortWait = {1.0, nullptr, false};

// With backup/restore on and the diagnostic port: the module's QCN first. 0 or the failure.
int backUpQcn(const Qca6xPlatform& platform, const CpRun& run) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return 0;
  if (const int result = chipsetServices().checkCfun(run.request); result != 0) return result;
  const int op = platform.state().useQcn ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, gNotUseQPST != 0 ? 1 : 0);
}

void reportLibraryError(const Qca6xPlatform& platform, const CpRun& run) {
  if (platform.reportLibraryError) logDownloadError(run, run.diag);
}

// The module is asked to switch to download mode; a refusal is only reported, the download
// goes on. False on a stop.
bool askForSwitch(CpRun& run) {
  unsigned char result = 0;
  const bool switched = fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(
                            run.diag, kSwitchTimeoutMs, 0, &result) != 0;
  if (!cpWait(0.5)) return false;
  run.say(switched
              ? std::string("Waiting switch To Download Mode...")
              : formatText("Switch to doload mode failed,will continue %d DUT upgrade.", run.dut));
  return true;
}

// On the open first connection: the phone check, the module's version, the download no-op or
// else the download reset, and the platform's switch. Sets `restarting` when the module is to
// be given time to restart. False when the download cannot go on.
bool bringIntoDownloadMode(const Qca6xPlatform& platform, CpRun& run, bool& restarting) {
  if (!cpWait(2.5)) return false;
  fn_QLIB_FlushRxBuffer(run.diag);
  if (!fn_QLIB_IsPhoneConnected(run.diag)) {
    run.say(formatText(kPhoneNotConnected, run.dut));
    if (platform.reportLibraryError) {
      logDownloadError(run, run.diag);
    } else {
      chipsetServices().printVersion(run.request);
    }
    return false;
  }
  chipsetServices().printVersion(run.request);
  // Only a module already in download mode answers the no-op; the reset takes one there.
  const bool answered = fn_QLIB_QPHONEMS_DLoad_SendNop(run.diag, kNopTimeoutMs) != 0;
  const bool reset = !answered && fn_QLIB_QPHONEMS_DLoad_Reset(run.diag, kResetTimeoutMs) != 0;
  restarting = platform.switchAfterNop || !answered;
  if (platform.switchAfterNop && (answered || reset)) return askForSwitch(run);
  return true;
}

// The first connection ends before the second opens: a port has one owner, and a handle left
// open on a real port blocks the next connection.
void closeFirstConnection(CpRun& run) {
  fn_QLIB_DisconnectServer(run.diag);
  run.diagOpen = false;
  run.mapEntry() = nullptr;
}

// On the diagnostic port. False when the download cannot go on.
bool prepareModule(const Qca6xPlatform& platform, CpRun& run) {
  if (!connectDiagnostic(run, run.port, 1, nullptr)) {
    MessagePopup("error", formatText(kServerConnectFailed, run.dut));
    reportLibraryError(platform, run);
    return false;
  }
  bool restarting = false;
  const bool ready = bringIntoDownloadMode(platform, run, restarting);
  closeFirstConnection(run);
  if (!ready || (restarting && !cpWait(kRestartSeconds))) return false;
  // A module slower than the fixed wait is waited for (with a bound) rather than missed.
  return waitForDownloadPort(run, kPortWait);
}

// The multi-image upload on a second connection. 0 or -1.
int upload(const Qca6xPlatform& platform, CpRun& run, bool overrideTable) {
  if (!connectDiagnostic(run, run.port, 1, kConnectFailed)) return -1;
  fn_QLIB_ConfigureLibraryTextLogCallBack(run.diag, platform.textLogCallBack);
  fn_QLIB_SetLogFlags(run.diag, kLogFlags);
  fn_QLIB_ExtendedTextMessage_SetCategoryEnable(run.diag, kTextCategory, 1);
  const Qca6xFirmware& fw = platform.state().firmware;
  int errorCode = 0;
  const bool ok =
      fn_QLIB_QPHONEMS_UploadSB2MultiImage(
          run.diag, run.programmer.c_str(), fw.file(kQca6xPartitionRow).c_str(),
          fw.file(kQca6xDblRow).c_str(), fw.file(kQca6xFsblRow).c_str(),
          fw.file(kQca6xOsblRow).c_str(), fw.file(kQca6xModemRow).c_str(), nullptr, nullptr,
          nullptr, nullptr, nullptr, "", "", "", "", "", "", 0, overrideTable ? 1 : 0, 1, 0,
          kHelloTimeoutMs, kImageTimeoutMs, &errorCode) != 0;
  if (ok) {
    updateProgressBar(run.dut, 1.0);
    run.say("Download Success!");
    return 0;
  }
  run.say(formatText("Download Failed! ErrorCode:%d", errorCode));
  if (platform.reportLibraryError) {
    fn_QLIB_StopLogging(run.diag);
    logDownloadError(run, run.diag);
  }
  return -1;
}

}  // namespace

int downloadCpQca6x(const Qca6xPlatform& platform, const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  platform.state().textLog.resetCurrentProgress();
  initLogfile(run.dut, platform.label);
  if (const int backup = backUpQcn(platform, run); backup != 0) return backup;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  stopPhoneServer();
  // With the QCN kept the module's partition table may differ from the firmware's.
  const bool overrideTable = gBackupRestoreQcn;
  if (!cpWait(2.0)) return -1;
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  const Qca6xFirmware& fw = platform.state().firmware;
  choosePortAndProgrammer(run, fw.file(kQca6xNormalProgrammerRow),
                          fw.file(kQca6xEmergencyProgrammerRow));
  if (!cpWait(0.5)) return -1;
  logLibraryLines(run);
  const bool ready = run.request.portKind != kDiagnosticPort || prepareModule(platform, run);
  const int result = ready ? upload(platform, run, overrideTable) : -1;
  closeCpRun(run);
  return result;
}
