// The qmbn road of the Qca8909 CP download: a module whose programmer is an .elf file keeps its
// calibration in an EFS image. With backup/restore on, the backup firmware is flashed first;
// the module restarts into it, the image is read into "backup.qmbn" in the firmware folder,
// and the module goes back to emergency download mode for the real firmware.

#include <string>

#include "chipsets/qca8909_firmware.h"
#include "chipsets/qca8909_steps.h"
#include "platform/text_format.h"

namespace {

constexpr unsigned kConnectWaitMs = 15000;

bool diagnosticPortPresent(const CpRun& run) {
  return run.slotValue(&ThreadData::present) == 1;
}

// Waits up to ten times 5 s for the module's diagnostic port; its COM number, 0 for none, or
// -1 on a stop.
int waitForDiagnosticPort(const CpRun& run) {
  for (int attempt = 0; attempt < 10 && !diagnosticPortPresent(run); ++attempt) {
    run.say(formatText("Waiting Diagnostices Port COM%d....", run.slotValue(&ThreadData::diaport)));
    if (!cpWait(5.0)) return -1;
  }
  return run.slotValue(&ThreadData::diaport);
}

// Connects to the running module on `port` in library `mode` and keeps the connection in the
// run and the slot's entry. False (after saying why) when it does not answer.
bool connectToModule(CpRun& run, int port, unsigned char mode) {
  fn_QLIB_SetLibraryMode(mode);
  fn_QLIB_SetTargetType(0);
  HANDLE handle = fn_QLIB_ConnectServerWithWait(static_cast<unsigned>(port), kConnectWaitMs);
  if (!handle) {
    run.say(formatText("ConnectServer failed, Please repower %d DUT.", run.dut));
    return false;
  }
  run.diag = handle;
  run.diagOpen = true;
  run.mapEntry() = handle;
  if (fn_QLIB_IsPhoneConnected(handle)) return true;
  run.say(formatText("fn_QLIB_IsPhoneConnected failed, Please repower %d DUT.", run.dut));
  return false;
}

// Reads the module's EFS image into the firmware folder's "backup.qmbn" and ends every
// connection of the library, the vendor server's included.
bool readEfsImage(CpRun& run, int port) {
  if (!connectToModule(run, port, QLIB_LIB_MODE_QPST) || !cpWait(2.5)) return false;
  run.say("Waiting backup qmbn...");
  const std::string path = qca8909Firmware().folder + "/backup.qmbn";
  const bool saved = fn_QLIB_DownloadCEFS_File(run.diag, path.c_str()) != 0;
  const bool settled = cpWait(1.5);
  fn_QLIB_DisconnectServer(run.diag);
  run.diagOpen = false;
  fn_QLIB_DisconnectAllServers();
  fn_QLIB_TerminateQPSTServer();
  if (!settled || !cpWait(2.0)) return false;
  if (!saved) {
    run.say(formatText("backup qmbn file failed, Please repower %d DUT.", run.dut));
    return false;
  }
  run.say("backup qmbn success.");
  return true;
}

}  // namespace

int backUpQmbn(CpRun& run) {
  run.say("Waiting backup SaharaFirehoseProgramer...");
  if (const int result = flashBackupFirmware(run); result < 0) return result;
  // The backup firmware's download ended with a reset: the module restarts into it.
  if (!cpWait(20.0)) return -1;
  const int port = waitForDiagnosticPort(run);
  if (port < 0) return -1;
  if (port == 0) {
    run.say(formatText("Can't find Diagnostices Port COM%d.", port));
    return -1;
  }
  if (!readEfsImage(run, port)) return -1;
  if (!connectToModule(run, port, QLIB_LIB_MODE_QPHONEMS)) return -1;
  run.say("Waiting switch EDL...");
  if (!switchToEdlThroughLibrary(run)) return -1;
  return waitForEmergencyPort(run) ? 0 : -1;
}
