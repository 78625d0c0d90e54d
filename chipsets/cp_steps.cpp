#include "chipsets/cp_steps.h"

#include "chipsets/wait_limits.h"
#include "host/station_options.h"
#include "platform/text_format.h"

namespace {

constexpr unsigned kSwitchTimeoutMs = 3000;
constexpr int kErrorTextSize = 128;

// Waits in 1 s steps while a QCN backup or restore holds the phone server. False when the
// wait ran out or was stopped.
bool waitWhilePhoneServerBusy(const CpRun& run, const char* message) {
  for (double waited = 0.0; IsQpstOpration(); waited += 1.0) {
    if (waited >= kModuleWaitLimitSeconds) {
      run.say(formatText("QPST work did not finish, Please repower %d DUT.", run.dut));
      return false;
    }
    if (message) run.say(message);
    if (!cpWait(1.0)) return false;
  }
  return true;
}

}  // namespace

bool handOverFromPhoneServer(const CpRun& run, const PhoneServerHandOver& handOver) {
  if (gBackupRestoreQcn && !waitWhilePhoneServerBusy(run, nullptr)) return false;
  if (!handOver.slotTurn) return true;
  if (!cpWait(run.dut + 2.0)) return false;
  return !gBackupRestoreQcn || waitWhilePhoneServerBusy(run, handOver.waitingText);
}

void choosePortAndProgrammer(CpRun& run, const std::string& normal, const std::string& emergency) {
  switch (run.request.portKind) {
    case kDiagnosticPort:
      run.port = run.request.diaport;
      run.programmer = normal;
      break;
    case kEmergencyPort:
      run.port = run.request.ql9008port;
      run.programmer = emergency;
      break;
    default:
      run.port = run.request.ql9009port;
      run.programmer = normal;
      break;
  }
}

void logLibraryLines(const CpRun& run) {
  char version[QLIB_LIBRARY_VERSION_SIZE] = {};
  fn_QLIB_GetLibraryVersion(version);
  version[sizeof version - 1] = '\0';
  run.say(formatText("QLib verison: %s .", version));
  unsigned char diag = 0, efs = 0, download = 0, qpst = 0;
  fn_QLIB_GetLibraryCapabilities(&diag, &efs, &download, &qpst);
  run.say(formatText("QLib capabilities: Diag %d, EFS %d, SW Download %d, QPST %d.", diag, efs,
                     download, qpst));
}

bool connectDiagnostic(CpRun& run, int port, int tries, const char* failedText) {
  HANDLE handle = nullptr;
  for (int attempt = 0; attempt < tries && !handle; ++attempt) {
    handle = fn_QLIB_ConnectServer(static_cast<unsigned>(port));
  }
  if (!handle) {
    if (failedText) run.say(formatText(failedText, run.dut));
    return false;
  }
  run.diag = handle;
  run.diagOpen = true;
  run.mapEntry() = handle;
  return true;
}

bool switchToDownloadMode(CpRun& run, const DownloadSwitch& sw) {
  unsigned char result = 0;
  const bool switched = fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(
                            run.diag, kSwitchTimeoutMs, 0, &result) != 0;
  // The connection goes with the module's port, whatever the answer; a stop during the first
  // wait still closes it.
  const bool settled = cpWait(sw.waitBeforeDisconnect);
  fn_QLIB_DisconnectServer(run.diag);
  run.diagOpen = false;
  if (!settled || !cpWait(sw.waitAfterDisconnect)) return false;
  if (!switched) {
    run.say(formatText(sw.failedText, run.dut));
    return false;
  }
  return true;
}

bool waitForDownloadPort(CpRun& run, const DownloadPortWait& portWait) {
  for (double waited = 0.0; !bPortPresent(run.port); waited += portWait.stepSeconds) {
    if (waited >= kModuleWaitLimitSeconds) {
      run.say(formatText("Download port not found, Please repower %d DUT.", run.dut));
      return false;
    }
    if (portWait.waitingText) run.say(portWait.waitingText);
    if (!cpWait(portWait.stepSeconds)) return false;
    if (portWait.follow9009) run.take9009PortIfPresent();
  }
  return true;
}

void logDownloadError(const CpRun& run, HANDLE handle) {
  unsigned char present = 0;
  char text[kErrorTextSize] = {};
  fn_QLIB_GetLastSoftwareDownloadErrorInfo(handle, &present, text, kErrorTextSize);
  text[kErrorTextSize - 1] = '\0';
  if (present) run.say(text);
}

int finishCpRun(CpRun& run, CpResult result) {
  if (result == CpResult::NoConnection) return -1;
  if (result == CpResult::Failed && run.diag) logDownloadError(run, run.diag);
  closeCpRun(run);
  return result == CpResult::Success ? 0 : -1;
}

void closeCpRun(CpRun& run) {
  if (run.diagOpen) {
    fn_QLIB_StopLogging(run.diag);
    fn_QLIB_DisconnectServer(run.diag);
    run.diagOpen = false;
  }
  run.mapEntry() = nullptr;
}
