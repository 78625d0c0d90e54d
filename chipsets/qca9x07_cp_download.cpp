// The Qca9x07 CP download: optional QCN backup, the hand-over from the vendor phone server,
// the switch of the module into download mode, the flash programmer's upload over Sahara and
// the streaming download of the user partitions.

#include <cstdint>
#include <string>

#include "chipsets/chipset_services.h"
#include "chipsets/phone_server.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/qca9x07_text_log.h"
#include "chipsets/sahara_lock.h"
#include "chipsets/wait_limits.h"
#include "host/clock.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/qcn_backup.h"
#include "platform/slot_record.h"
#include "platform/text_format.h"

namespace {

// The port kinds of a request.
constexpr int kDiagnosticPort = 0;
constexpr int kEmergencyPort = 1;  // QDLoader 9008

// Arguments of the library calls, passed as the library expects them.
constexpr unsigned kSwitchTimeoutMs = 3000;
constexpr unsigned kSaharaMode = 2;
constexpr unsigned kSaharaTimeoutMs = 5000;
constexpr int kSaharaTries = 5;
constexpr unsigned kLogFlags = 9;
constexpr unsigned short kTextCategory = 4;
constexpr unsigned kHelloTimeoutMs = 5000;
constexpr unsigned kPartitionTimeoutMs = 5000;
constexpr int kErrorTextSize = 128;

// One CP download: the request, the port and programmer it uses, and the connections it has
// open.
struct CpRun {
  explicit CpRun(const DownloadRequest& r) : request(r), dut(r.slot) {}

  const DownloadRequest& request;
  const int dut;
  int port = 0;
  std::string programmer;
  HANDLE diag = nullptr;  // the latest diagnostic connection
  bool diagOpen = false;  // whether `diag` still has to be closed
  bool saharaLocked = false;

  void say(const std::string& text) const { updateMesage(dut, text); }
  std::atomic<HANDLE>& mapEntry() const { return handeIndexMap[dut - 1]; }
  const ThreadData* slot() const { return dut <= kSlotCount ? &gThreadData[dut - 1] : nullptr; }
  // The 9009 port the slot reports, or 0.
  int present9009Port() const {
    const ThreadData* s = slot();
    return s && s->present9009 == 1 ? s->ql9009port : 0;
  }
  void take9009PortIfPresent() {
    if (const int com = present9009Port(); com != 0) port = com;
  }
  void unlockSahara() {
    if (!saharaLocked) return;
    releaseSaharaLock();
    saharaLocked = false;
  }
};

// Every wait of the download ends at once on a stop, which ends the download.
bool wait(double seconds) {
  return host::Delay(seconds);
}

// Before the download, with backup/restore on and the diagnostic port: the module's QCN.
bool backUpQcn(const CpRun& run, bool qphonems) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return true;
  if (chipsetServices().checkCfun(run.request) != 0) return false;
  const int op = bUseQcnQca9x07 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, qphonems ? 1 : 0) == 0;
}

// Waits in 1 s steps while a QCN backup or restore holds the phone server. False when the
// wait ran out or was stopped.
bool waitWhilePhoneServerBusy(const CpRun& run, const char* message) {
  for (double waited = 0.0; IsQpstOpration(); waited += 1.0) {
    if (waited >= kModuleWaitLimitSeconds) {
      run.say(formatText("QPST work did not finish, Please repower %d DUT.", run.dut));
      return false;
    }
    if (message) run.say(message);
    if (!wait(1.0)) return false;
  }
  return true;
}

// The slots take turns at the phone server: QCN work of any slot finishes first.
bool handOverFromPhoneServer(const CpRun& run) {
  if (gBackupRestoreQcn && !waitWhilePhoneServerBusy(run, nullptr)) return false;
  if (!wait(run.dut + 2.0)) return false;
  return !gBackupRestoreQcn || waitWhilePhoneServerBusy(run, "Waiting all qpst finished...");
}

void choosePortAndProgrammer(CpRun& run) {
  const Qca9x07Firmware& fw = qca9x07Firmware();
  switch (run.request.portKind) {
    case kDiagnosticPort:
      run.port = run.request.diaport;
      run.programmer = fw.normalProgrammer;
      break;
    case kEmergencyPort:
      run.port = run.request.ql9008port;
      run.programmer = fw.emergencyProgrammer;
      break;
    default:
      run.port = run.request.ql9009port;
      run.programmer = fw.normalProgrammer;
      break;
  }
}

void logLibrary(const CpRun& run) {
  char version[QLIB_LIBRARY_VERSION_SIZE] = {};
  fn_QLIB_GetLibraryVersion(version);
  version[sizeof version - 1] = '\0';
  run.say(formatText("QLib verison: %s .", version));
  unsigned char diag = 0, efs = 0, download = 0, qpst = 0;
  fn_QLIB_GetLibraryCapabilities(&diag, &efs, &download, &qpst);
  run.say(formatText("QLib capabilities: Diag %d, EFS %d, SW Download %d, QPST %d.", diag, efs,
                     download, qpst));
}

// Waits for the module's download port after the switch. The diagnostic port leaves and either
// comes back or the slot reports its 9009 port instead.
bool waitForDownloadPort(CpRun& run) {
  for (double waited = 0.0; !bPortPresent(run.port); waited += 2.0) {
    if (waited >= kModuleWaitLimitSeconds) {
      run.say(formatText("Download port not found, Please repower %d DUT.", run.dut));
      return false;
    }
    run.say("Waiting port...");
    if (!wait(2.0)) return false;
    run.take9009PortIfPresent();
  }
  return true;
}

// On the diagnostic port: connect, report the module and switch it to download mode.
bool switchToDownload(CpRun& run) {
  run.diag = fn_QLIB_ConnectServer(static_cast<unsigned>(run.request.diaport));
  if (!run.diag) {
    run.say(formatText("Connect server port failed, Please repower No%d DUT.", run.dut));
    return false;
  }
  run.diagOpen = true;
  run.mapEntry() = run.diag;
  fn_QLIB_FlushRxBuffer(run.diag);
  if (!fn_QLIB_IsPhoneConnected(run.diag)) {
    run.say(
        formatText("Phone Connection Status: FAIL,Please wait retry connect No%d DUT.", run.dut));
    if (!wait(2.0)) return false;
  }
  chipsetServices().printVersion(run.request);
  unsigned char result = 0;
  const bool switched = fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(
                            run.diag, kSwitchTimeoutMs, 0, &result) != 0;
  fn_QLIB_DisconnectServer(run.diag);
  run.diagOpen = false;
  if (!wait(2.5)) return false;
  if (!switched) {
    run.say(formatText("Switch download mode failed,please repower No%d DUT.", run.dut));
    return false;
  }
  run.say("Waiting switch To Download Mode...");
  if (!wait(2.0) || !wait(iDLDelayTime)) return false;
  return waitForDownloadPort(run);
}

// Connects Sahara on the download port, up to five times. Returns the handle, or null.
HANDLE connectSahara(CpRun& run) {
  HANDLE sahara = nullptr;
  unsigned version = 0, serial = 0, msmId = 0;
  for (int attempt = 1; attempt <= kSaharaTries; ++attempt) {
    run.say(formatText("Connecting Sahara Server %d times....", attempt));
    char info[200] = {};
    version = 0;
    sahara = fn_QLIB_QPHONEMS_ConnectServer_Sahara(static_cast<unsigned>(run.port), &version,
                                                   &serial, &msmId, info, 1, kSaharaMode,
                                                   kSaharaTimeoutMs, qca9x07SaharaLogCallBack);
    run.say(formatText("saharaHandle=0x%04x, Version:%d",
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(sahara)), version));
    if (sahara && version == 0) fn_QLIB_DisconnectServer_Sahara(sahara);
    if (!wait(1.5)) {
      if (sahara && version != 0) fn_QLIB_DisconnectServer_Sahara(sahara);
      return nullptr;
    }
    run.take9009PortIfPresent();
    if (sahara && version != 0) break;
  }
  // A handle without a Sahara version was released above: the connect did not succeed.
  if (!sahara || version == 0) {
    run.say(formatText("Connect Sahara Server failed, Please repower No%d DUT.", run.dut));
    return nullptr;
  }
  run.say(formatText("Version: %d, MSMId: %d,SN: %d.", version, msmId, serial));
  return sahara;
}

void logDownloadError(const CpRun& run, HANDLE handle) {
  unsigned char present = 0;
  char text[kErrorTextSize] = {};
  fn_QLIB_GetLastSoftwareDownloadErrorInfo(handle, &present, text, kErrorTextSize);
  text[kErrorTextSize - 1] = '\0';
  if (present) run.say(text);
}

// Uploads the flash programmer over Sahara, under the Sahara lock.
bool uploadProgrammer(CpRun& run) {
  if (!wait(1.0)) return false;
  switch (takeSaharaLock(kModuleWaitLimitSeconds)) {
    case SaharaLockResult::Taken:
      run.saharaLocked = true;
      break;
    case SaharaLockResult::TimedOut:
      run.say(formatText("Sahara is busy on another DUT, Please repower %d DUT.", run.dut));
      return false;
    case SaharaLockResult::Stopped:
      return false;
  }
  HANDLE sahara = connectSahara(run);
  if (!sahara) {
    run.unlockSahara();
    return false;
  }
  run.mapEntry() = sahara;
  run.say("Waiting Sahara_FlashProgrammer...");
  if (!fn_QLIB_QPHONEMS_Sahara_FlashProgrammer(sahara, run.programmer.c_str())) {
    run.say(formatText(
        "Unable to download Flash Programmer using Sahara Protocol, Please repower No%d DUT.",
        run.dut));
    logDownloadError(run, sahara);
    fn_QLIB_DisconnectServer_Sahara(sahara);
    run.unlockSahara();
    fn_QLIB_StopLogging(sahara);
    return false;
  }
  fn_QLIB_StopLogging(sahara);
  fn_QLIB_DisconnectServer_Sahara(sahara);
  const bool waited = wait(1.0);
  run.unlockSahara();
  return waited;
}

enum class StreamResult { Success, Failed, NoConnection };

// Streams the user partitions through the programmer that now runs in the module.
StreamResult streamPartitions(CpRun& run) {
  HANDLE handle = fn_QLIB_ConnectServer(static_cast<unsigned>(run.port));
  if (!handle) {
    run.say(formatText("Connect server port failed, Please repower No%d DUT.", run.dut));
    run.mapEntry() = nullptr;
    return StreamResult::NoConnection;
  }
  run.diag = handle;
  run.diagOpen = true;
  run.mapEntry() = handle;
  run.programmer.clear();
  fn_QLIB_ConfigureLibraryTextLogCallBack(handle, qca9x07TextLogCallBack);
  fn_QLIB_SetLogFlags(handle, kLogFlags);
  fn_QLIB_ExtendedTextMessage_SetCategoryEnable(handle, kTextCategory, 1);
  clearQca9x07PartitionSeen(run.dut);
  const Qca9x07Firmware& fw = qca9x07Firmware();
  // With the QCN kept the module's partition table may differ from the firmware's.
  const unsigned char overrideTable = gBackupRestoreQcn ? 1 : 0;
  unsigned status = 0;
  const bool ok = fn_QLIB_QPHONEMS_DownloadUserPartitions(
                      handle, run.programmer.c_str(), fw.partitionFile.c_str(), &fw.userPartitions,
                      overrideTable, 1, 1, kHelloTimeoutMs, kPartitionTimeoutMs, &status) != 0;
  const bool partitionSeen = qca9x07PartitionSeen(run.dut);
  if (ok && partitionSeen) {
    run.say("CP Download Success!");
    bUpdatedCp = 1;
    bPartionDiff = 0;
    return StreamResult::Success;
  }
  if (partitionSeen) {
    run.say("CP Download Failed!");
  } else {
    run.say("CP Download Failed!,Partition diff!");
    bPartionDiff = 1;
  }
  return StreamResult::Failed;
}

// Everything from the switch to the end of the streaming download.
StreamResult runDownload(CpRun& run) {
  if (run.request.portKind == kDiagnosticPort && !switchToDownload(run)) {
    return StreamResult::Failed;
  }
  if (!uploadProgrammer(run)) return StreamResult::Failed;
  return streamPartitions(run);
}

int finish(CpRun& run, StreamResult result) {
  if (result == StreamResult::NoConnection) return -1;
  if (result == StreamResult::Failed && run.diag) logDownloadError(run, run.diag);
  if (run.diagOpen) {
    fn_QLIB_StopLogging(run.diag);
    fn_QLIB_DisconnectServer(run.diag);
    run.diagOpen = false;
  }
  run.mapEntry() = nullptr;
  return result == StreamResult::Success ? 0 : -1;
}

}  // namespace

int downloadCpQca9x07(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  initLogfile(run.dut, "9x07");
  resetQca9x07CurrentProgress();
  // The flags describe this run from its start, never a previous module's.
  bUpdatedCp = 0;
  bPartionDiff = 0;
  const bool qphonems = gNotUseQPST != 0;
  if (!backUpQcn(run, qphonems)) return -1;
  if (!handOverFromPhoneServer(run)) return -1;
  stopPhoneServer();
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  choosePortAndProgrammer(run);
  if (!wait(2.5)) return -1;
  logLibrary(run);
  bUpdatedCp = 0;
  return finish(run, runDownload(run));
}
