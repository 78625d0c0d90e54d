// The Qca8909 CP download: the firmware family from the programmer's name, the optional QCN
// backup or version check, the hand-over from the vendor phone server, the switch of the
// module into emergency download mode, the qmbn road, and the flash programmer and firmware
// sent by the outside Sahara and Firehose tools.

#include <string>

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca8909.h"
#include "chipsets/qca8909_firmware.h"
#include "chipsets/qca8909_steps.h"
#include "chipsets/sahara_lock.h"
#include "chipsets/tool_runner.h"
#include "chipsets/wait_limits.h"
#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/station_options.h"
#include "platform/at_commands.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

namespace {

constexpr int kPort9009 = 2;
constexpr PhoneServerHandOver kHandOver = {true, "Waiting all qpst finished..."};

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Tells the firmware family from the programmer's name, sets the shared flags and starts the
// DUT's log with the family's label (the last of the names that match).
void identifyFirmware(const CpRun& run) {
  const std::string& programmer = qca8909Firmware().programmer;
  bHalvoH = 0;
  bSdx55 = 0;
  const char* label = nullptr;
  if (contains(programmer, ".elf")) {
    bHalvoH = 1;
    label = "HalvoH-9205";
    host::uiLoop().post([] {
      host::surface().setControlLabel(host::Control::BackupRestoreQcn, "Qmbn Backup And Recovery");
    });
  }
  if (contains(programmer, "9x55")) label = "HalvoJ-9x55";
  if (contains(programmer, "sdx55")) {
    bSdx55 = 1;
    label = "HalvoK-sdx55";
  }
  if (contains(programmer, "9x45")) label = "HalvoD-9x45";
  if (label) initLogfile(run.dut, label);
}

// With backup/restore on, from the diagnostic port: the module's QCN, or on the qmbn road the
// check that the module runs the backup firmware's version. 0 or the failed step's result.
int checkOrBackUpModule(const CpRun& run) {
  if (!gBackupRestoreQcn || run.request.portKind != kDiagnosticPort) return 0;
  if (bHalvoH) return chipsetServices().ifNeedUpdateVersion(run.request) != 0 ? 0 : -1;
  if (const int result = chipsetServices().checkCfun(run.request); result != 0) return result;
  const int op = bUseQcnQca8909 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, gNotUseQPST != 0 ? 1 : 0);
}

int portToConnect(const DownloadRequest& request) {
  switch (request.portKind) {
    case kPort9009:
      return request.ql9009port;
    case kEmergencyPort:
      return request.ql9008port;
    default:
      return request.diaport;
  }
}

// From the diagnostic port into emergency download mode: through the library for the .elf
// and sdx55 families, else through the AT port.
bool switchToEdl(CpRun& run) {
  run.say("Switching to EDL...");
  if (!bHalvoH && !bSdx55) return switchToEdlThroughAtPort(run);
  if (!connectDiagnostic(run, run.port, 1, "ConnectServer failed, Please repower %d DUT.")) {
    return false;
  }
  return cpWait(2.5) && switchToEdlThroughLibrary(run);
}

// The programmer through the Sahara tool (one slot at a time), then the firmware through the
// Firehose tool, whose result ends the download.
int flashFirmware(const CpRun& run, const std::string& rawprogram, const std::string& patch) {
  switch (takeSaharaLock(kModuleWaitLimitSeconds)) {
    case SaharaLockResult::Taken:
      break;
    case SaharaLockResult::TimedOut:
      run.say(formatText("Sahara is busy on another DUT, Please repower %d DUT.", run.dut));
      return -1;
    case SaharaLockResult::Stopped:
      return -1;
  }
  const int loaded = chipsetServices().loadProgrammer(run.request, qca8909Firmware().programmer);
  releaseSaharaLock();
  if (loaded < 0) return loaded;
  return chipsetServices().sendFirmware(run.request, rawprogram, patch);
}

int runCp(CpRun& run) {
  identifyFirmware(run);
  if (const int result = checkOrBackUpModule(run); result != 0) return result;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  stopPhoneServer();
  endLeftoverFirehoseTools();
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  if (!cpWait(2.5)) return -1;
  run.port = portToConnect(run.request);
  if (!cpWait(2.5)) return -1;
  logLibraryLines(run);
  if (run.request.portKind == kDiagnosticPort && !switchToEdl(run)) return -1;
  if (run.request.portKind == kPort9009) {
    run.say(formatText(
        "Not support QDloader9009, need QDloader9008 to continue, Please repower %d DUT.",
        run.dut));
    return -1;
  }
  if (!waitForEmergencyPort(run)) return -1;
  if (bHalvoH && gBackupRestoreQcn) {
    if (const int result = backUpQmbn(run); result != 0) return result;
  }
  run.say("Waiting SaharaFirehoseProgramer...");
  const Qca8909Firmware& fw = qca8909Firmware();
  return flashFirmware(run, fw.rawprogram, fw.patch);
}

}  // namespace

int flashBackupFirmware(const CpRun& run) {
  const Qca8909Firmware& fw = qca8909Firmware();
  return flashFirmware(run, fw.backupRawprogram, fw.backupPatch);
}

int downloadCpQca8909(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  const int result = runCp(run);
  // Whatever ended the download, no connection stays open and the slot's entry is cleared.
  if (run.diagOpen) {
    fn_QLIB_DisconnectServer(run.diag);
    run.diagOpen = false;
  }
  run.mapEntry() = nullptr;
  return result;
}
