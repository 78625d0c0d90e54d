#include "platform/qcn_backup.h"

#include <cstring>
#include <string>

#include "host/clock.h"
#include "host/report.h"
#include "platform/at_commands.h"
#include "platform/phone_report.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"
#include "platform/text_format.h"
#include "records/run_events.h"

namespace {

// The service programming code the module expects before its NV items may be written.
constexpr char kSpc[] = "271828";
constexpr int kAttempts = 3;
constexpr int kConnectTries = 3;
// False answers of the phone before a connection is given up.
constexpr int kPhonePolls = 31;
constexpr int kFtmPasses = 4;
// How long the module may take to come back (its port after a reset, the library reload)
// before the operator is asked to repower it.
constexpr double kRecoverySeconds = 180.0;

// How a step of an attempt ends.
enum class Outcome {
  Continue,     // go on with the attempt
  Done,         // the work succeeded
  NextAttempt,  // this attempt failed; the next one may succeed
  Failed,       // give up at once
};

// One backupQcn call: the request (with the IMEI read for a backup), the file, and the
// connection of the current attempt.
struct Job {
  DownloadRequest request;
  int op;
  bool qphonems;
  int dut;
  std::string name;  // the IMEI (or chosen name) the file is called after
  std::string path;
  HANDLE handle = nullptr;
  bool opened = false;  // a connection was opened in this call

  const char* ext() const { return qcnExtension(op); }
  const char* imei() const { return name.c_str(); }
  void say(const std::string& text) const { updateMesage(dut, text); }
  std::atomic<HANDLE>& qpstEntry() const { return handeIndexQpstMap[dut - 1]; }
};

void closeConnection(Job& job) {
  fn_QLIB_StopLogging(job.handle);
  fn_QLIB_DisconnectServer(job.handle);
  job.qpstEntry() = nullptr;
}

bool readFtmMode(HANDLE handle, unsigned char& value) {
  unsigned char read = 0;
  unsigned short status = 0;
  if (!fn_QLIB_DIAG_NV_READ_F(handle, QLIB_NV_FTM_MODE_ITEM, &read, 1, &status)) return false;
  value = read;
  return true;
}

const char* onOff(bool on) {
  return on ? "ON" : "OFF";
}
const char* passFail(bool pass) {
  return pass ? "PASS" : "FAIL";
}

// Waits for the slot's diagnostic port to be present again after a reset.
bool waitForDiagnosticPort(const DownloadRequest& request) {
  const uint64_t deadline = host::tickMs() + host::scaledMs(kRecoverySeconds * 1000);
  while (!bPortPresent(request.diaport)) {
    if (host::stopRequested()) return false;
    if (host::tickMs() >= deadline) {
      updateMesage(request.slot, formatText("DUT port did not come back after reset, Please "
                                            "repower %d DUT.",
                                            request.slot));
      return false;
    }
    host::Delay(2.0);
  }
  return true;
}

// ---- One attempt: connect, check the phone, prepare it ----

Outcome waitForPhone(Job& job) {
  int falseAnswers = 0;
  while (!fn_QLIB_IsPhoneConnected(job.handle)) {
    host::Delay(2.0);
    if (++falseAnswers >= kPhonePolls || host::stopRequested()) {
      job.say(formatText("ConnectServer failed1, Please repower %d DUT.", job.dut));
      closeConnection(job);
      return Outcome::Failed;
    }
    host::Delay(0.5);
  }
  return Outcome::Continue;
}

Outcome connect(Job& job) {
  job.say(job.qphonems ? "QLIB_LIB_MODE_QPHONEMS" : "QLIB_LIB_MODE_QPST");
  fn_QLIB_SetLibraryMode(job.qphonems ? QLIB_LIB_MODE_QPHONEMS : QLIB_LIB_MODE_QPST);
  fn_QLIB_SetTargetType(0);
  host::Delay(2.5);
  HANDLE handle = nullptr;
  for (int tries = 0; tries < kConnectTries && !handle && !host::stopRequested(); ++tries) {
    handle = fn_QLIB_ConnectServerWithHandShake(static_cast<unsigned int>(job.request.diaport));
    if (!handle) host::Delay(2.5);
  }
  if (!handle) {
    job.say(formatText("ConnectServer failed2, Please repower %d DUT.", job.dut));
    return Outcome::Failed;
  }
  job.handle = handle;
  job.opened = true;
  handeIndexMap[job.dut - 1] = handle;
  job.qpstEntry() = handle;
  fn_QLIB_FlushRxBuffer(handle);
  fn_QLIB_ConfigureCallBacks(handle, nullptr,
                             job.qphonems ? nullptr : &generalDownloadEventCallBack,
                             &asyncMessageCallBack);
  return waitForPhone(job);
}

// A restore needs the module in factory test mode; a module that does not say so is put there.
Outcome enterFtmModeForRestore(Job& job) {
  host::Delay(3.0);
  for (int pass = 0; pass < kFtmPasses; ++pass) {
    unsigned char mode = 0;
    if (readFtmMode(job.handle, mode)) {
      job.say(formatText("FTM Mode: %s", onOff(mode)));
      if (mode) break;
    } else {
      job.say("QLIB_DIAG_NV_READ_F(NV_FTM_MODE_I): FAIL");
    }
    if (Set_NV_FTM_Mode(job.request, 1) != 0) return Outcome::Failed;
  }
  return Outcome::Continue;
}

// Without the phone server the station unlocks the NV items and selects multi-SIM items
// itself.
Outcome prepareWithoutServer(Job& job) {
  if (!isQcnBackup(job.op) && enterFtmModeForRestore(job) == Outcome::Failed) {
    return Outcome::Failed;
  }
  job.say("Send default SPC...");
  unsigned char status = 0;
  const bool sent =
      fn_QLIB_DIAG_SPC_F(job.handle, reinterpret_cast<const unsigned char*>(kSpc), &status) != 0;
  job.say(formatText("Command Status: %s", passFail(sent)));
  job.say(formatText("Status: %s", passFail(status != 0)));
  if (!sent) job.say(formatText("send default SPC failed,retry backuping %s.xqcn...", job.imei()));

  job.say("QLIB_NV_SetTargetSupportMultiSIM...");
  if (!fn_QLIB_NV_SetTargetSupportMultiSIM(job.handle, 1)) {
    job.say(formatText("QLIB_NV_SetTargetSupportMultiSIM failed,retry backuping %s.xqcn...",
                       job.imei()));
    host::Delay(1.0);
    closeConnection(job);
    return Outcome::NextAttempt;
  }
  return Outcome::Continue;
}

// ---- Restore ----

Outcome recoverSucceeded(Job& job) {
  job.say("qcn recover success!");
  host::Delay(1.5);
  return Outcome::Done;
}

// After the items are written the module is taken out of factory test mode; the restore
// counts as done once the mode reads back (OFF at once, or ON on every pass).
Outcome leaveFtmModeAfterRestore(Job& job) {
  unsigned char mode = 0;
  bool lastReadOk = false;
  for (int pass = 0; pass < kFtmPasses; ++pass) {
    lastReadOk = readFtmMode(job.handle, mode);
    if (lastReadOk) {
      job.say(formatText("FTM Mode: %s", onOff(mode)));
      if (!mode) {
        fn_QLIB_DisconnectServer(job.handle);
        return recoverSucceeded(job);
      }
    } else {
      job.say("QLIB_DIAG_NV_READ_F(NV_FTM_MODE_I): FAIL");
    }
    if (Set_NV_FTM_Mode(job.request, 0) != 0) return Outcome::Failed;
    SetAtCmd(job.request, "AT+CFUN=1\r\n");
    if (!mode) break;
  }
  fn_QLIB_DisconnectServer(job.handle);
  if (lastReadOk) return recoverSucceeded(job);
  job.say(formatText("xqcn recover failed, retry recover %s.xqcn....", job.imei()));
  host::Delay(1.0);
  return Outcome::NextAttempt;
}

Outcome restoreItems(Job& job) {
  job.say(formatText("QLIB_NV_LoadNVsFromQCN %s.xqcn...", job.imei()));
  int count = 0;
  int code = 0;
  if (!fn_QLIB_NV_LoadNVsFromQCN(job.handle, job.path.c_str(), &count, &code)) {
    job.say(formatText("Failed QLIB_NV_LoadNVsFromQCN, ResultCode = %d\n", code));
    host::Delay(1.0);
    closeConnection(job);
    return Outcome::NextAttempt;
  }
  job.say(formatText("QLIB_NV_WriteNVsToMobile %d item...", count));
  job.say(formatText("recovering %s.%s...", job.imei(), job.ext()));
  if (!fn_QLIB_NV_WriteNVsToMobile(job.handle, &code)) {
    job.say(formatText("Failed QLIB_NV_WriteNVsToMobile, ResultCode = %d", code));
    host::Delay(1.0);
    closeConnection(job);
    return Outcome::NextAttempt;
  }
  return leaveFtmModeAfterRestore(job);
}

Outcome restoreThroughServer(Job& job) {
  const bool ok = isXqcn(job.op)
                      ? fn_QLIB_UploadQcnFile_V2(job.handle, job.path.c_str(), kSpc, 1)
                      : fn_QLIB_UploadQcnFile(job.handle, job.path.c_str(), kSpc, 1, 0, 1, 1);
  fn_QLIB_DisconnectServer(job.handle);
  if (ok) return recoverSucceeded(job);
  job.say(formatText("xqcn recover failed, retry recover %s.xqcn....", job.imei()));
  host::Delay(1.0);
  return Outcome::NextAttempt;
}

Outcome restore(Job& job) {
  job.say(formatText("please wait recovering %s.%s...", job.imei(), job.ext()));
  return job.qphonems ? restoreItems(job) : restoreThroughServer(job);
}

// ---- Backup ----

// A file that is not a usable backup is kept under another name, so that a later call never
// mistakes it for one and nothing of it is lost.
bool setAside(const Job& job) {
  if (!qcnFileSize(job.path)) return true;
  const std::string moved = moveQcnAside(job.path);
  if (moved.empty()) {
    job.say(formatText("Cannot move %s aside, Please check the qcn folder.", job.path.c_str()));
    return false;
  }
  job.say(formatText("%s moved aside to %s.", job.path.c_str(), moved.c_str()));
  return true;
}

Outcome backup(Job& job) {
  job.say(formatText("please wait backuping %s.%s...", job.imei(), job.ext()));
  bool ok;
  if (job.qphonems) {
    job.say(formatText("backuping %s.%s...", job.imei(), job.ext()));
    int code = 0;
    ok = fn_QLIB_BackupNVFromMobileToQCN(job.handle, job.path.c_str(), &code) != 0;
  } else {
    ok = (isXqcn(job.op) ? fn_QLIB_DownloadQcnFile_V2(job.handle, job.path.c_str(), kSpc)
                         : fn_QLIB_DownloadQcnFile(job.handle, job.path.c_str(), kSpc)) != 0;
  }
  fn_QLIB_StopLogging(job.handle);
  host::Delay(0.5);
  fn_QLIB_DisconnectServer(job.handle);
  job.qpstEntry() = nullptr;

  // Success needs a file that holds a plausible backup: a library that reports success
  // without writing one must not let the download wipe the module's only copy.
  const std::optional<uint64_t> size = qcnFileSize(job.path);
  if (ok && size && qcnSizePlausible(*size)) {
    job.say("qcn backup success!");
    host::Delay(2.5);
    host::Delay(1.5);
    return Outcome::Done;
  }
  if (ok) {
    job.say(formatText("qcnFile size %d K,is not in (%d K-%d K),retry backuping %s.%s...",
                       static_cast<int>(size.value_or(0) / 1024), qcnFileLowLimit, qcnFileHighLimit,
                       job.imei(), job.ext()));
  } else {
    job.say(formatText("qcn backup failed, retry backuping %s.%s....", job.imei(), job.ext()));
  }
  host::Delay(1.0);
  closeConnection(job);
  return setAside(job) ? Outcome::NextAttempt : Outcome::Failed;
}

// ---- The whole call ----

Outcome runAttempt(Job& job) {
  Outcome outcome = connect(job);
  if (outcome != Outcome::Continue) return outcome;
  PrintQLibVersion(job.request);
  host::Delay(0.5);
  host::Delay(2.5);
  if (job.qphonems) {
    outcome = prepareWithoutServer(job);
    if (outcome != Outcome::Continue) return outcome;
  }
  return isQcnBackup(job.op) ? backup(job) : restore(job);
}

int runAttempts(Job& job) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (host::stopRequested()) return -1;
    const Outcome outcome = runAttempt(job);
    if (outcome == Outcome::Done) return 0;
    if (outcome == Outcome::Failed) return -1;
  }
  job.say(
      isQcnBackup(job.op)
          ? formatText("qcn backup failed, Please change %d DUT and repower.", job.dut)
          : formatText("qcn restore failed, Please repower %d DUT to continue resotre.", job.dut));
  if (job.qpstEntry().load()) closeConnection(job);
  return -1;
}

// Names the file after the request's IMEI. A name that would leave the backup folder is
// refused before anything is read or written.
bool chooseFile(Job& job) {
  job.name.assign(job.request.imei, strnlen(job.request.imei, sizeof job.request.imei));
  if (!isPlainQcnName(job.name)) {
    job.say(formatText("QCN file name \"%s\" refused: it must name a file inside %s.", job.imei(),
                       qcnFilePath.empty() ? "." : qcnFilePath.c_str()));
    return false;
  }
  job.path = qcnFilePathFor(job.name, job.op);
  return true;
}

enum class Existing { None, Reused, Failed };

// A plausible backup of this module is kept and used; any other file of that name is moved
// aside before a fresh backup is made.
Existing checkExistingBackup(const Job& job) {
  const std::optional<uint64_t> size = qcnFileSize(job.path);
  if (!size) return Existing::None;
  if (qcnSizePlausible(*size)) {
    job.say(formatText("%s.%s exists, skip backup %s file.", job.imei(), job.ext(), job.ext()));
    return Existing::Reused;
  }
  return setAside(job) ? Existing::None : Existing::Failed;
}

int prepareAndRun(Job& job, bool reloadLibrary) {
  if (reloadLibrary && qca_load_lib(1) != 0) {
    job.say("backupQcn qca_load_lib(1) failed!");
    return -1;
  }
  if (isQcnBackup(job.op) && ReadImeiAndMeid(job.request) != 0) {
    job.say("ReadImeiAndMeid failed!");
    return -1;
  }
  if (!chooseFile(job)) return -1;
  if (isQcnBackup(job.op)) {
    const Existing existing = checkExistingBackup(job);
    if (existing == Existing::Reused) return 0;
    if (existing == Existing::Failed) return -1;
  }
  return runAttempts(job);
}

// Loads the platform's own library build again; a library that cannot be loaded is retried
// until the time limit.
int reloadPlatformLibrary(const Job& job) {
  const uint64_t deadline = host::tickMs() + host::scaledMs(kRecoverySeconds * 1000);
  while (qca_load_lib(gLongLabel) != 0) {
    job.say("backupQcn qca_load_lib(gLongLabel) failed!");
    if (host::stopRequested() || host::tickMs() >= deadline) {
      job.say(
          formatText("backupQcn qca_load_lib(gLongLabel) failed, Please repower %d DUT.", job.dut));
      return -1;
    }
    host::Delay(1.0);
  }
  return 0;
}

}  // namespace

int backupQcn(const DownloadRequest& request, int op, int qphonems) {
  if (request.slot < 1 || request.slot > kHandleMapSize || op < kBackupQcn || op > kRestoreXqcn) {
    return -1;
  }
  Job job{.request = request,
          .op = op,
          .qphonems = qphonems != 0,
          .dut = request.slot,
          .name = {},
          .path = {}};
  // The Qca9206 platform does its QCN work with the long-name library build.
  const bool reloadLibrary = pPlatforms && pPlatforms->type == kQca9206;
  int result = prepareAndRun(job, reloadLibrary);
  if (result == 0 && !job.path.empty()) records::runEvents().qcnFileUsed(job.dut, job.path);
  if (job.opened) closeConnection(job);
  if (reloadLibrary && reloadPlatformLibrary(job) != 0) result = -1;
  return result;
}

int Set_NV_FTM_Mode(const DownloadRequest& request, int on) {
  const int dut = request.slot;
  HANDLE handle = dut >= 1 && dut <= kHandleMapSize ? handeIndexQpstMap[dut - 1].load() : nullptr;
  updateMesage(dut, formatText("Set NV FTM = %s", onOff(on == 1)));
  updateMesage(dut, fn_QLIB_DIAG_CONTROL_F(handle, QLIB_PHONE_MODE_OFFLINE_DIGITAL)
                        ? "Mode OFFLINE-D: PASS"
                        : "Mode OFFLINE-D': FAIL");
  const unsigned char value = static_cast<unsigned char>(on);
  unsigned short status = 0;
  if (fn_QLIB_DIAG_NV_WRITE_F(handle, QLIB_NV_FTM_MODE_ITEM, &value, 1, &status)) {
    updateMesage(dut, "NV Write: PASS");
    updateMesage(dut, status == 0 ? "NV Write Status: PASS" : "NV Write Status: FAIL");
  } else {
    updateMesage(dut, "NV Write: FAIL");
  }
  updateMesage(dut, fn_QLIB_DIAG_CONTROL_F(handle, QLIB_PHONE_MODE_RESET) ? "Mode RESET: PASS"
                                                                          : "Mode RESET': FAIL");
  updateMesage(dut, "Waiting for phone to reset..");
  host::Delay(4.0);
  if (!waitForDiagnosticPort(request)) return -1;
  for (int wait = 0; wait < 4 && !fn_QLIB_IsPhoneConnected(handle); ++wait) host::Delay(10.0);
  unsigned char readBack = 0;
  const bool read = readFtmMode(handle, readBack);
  updateMesage(dut, formatText("NV READ FTM MODE: %s", passFail(read)));
  updateMesage(dut, formatText(read && readBack == value ? "NV READ FTM MODE = %d: PASS"
                                                         : "NV READ FTM MODE = %d: FAIL",
                               on));
  return 0;
}

unsigned char generalDownloadEventCallBack(const void* event) {
  if (!event) return 1;
  // Only the leading fields are read: type, handle and the percentage word.
  QLIB_DownloadEvent record{};
  std::memcpy(&record, event, offsetof(QLIB_DownloadEvent, reserved));
  if (record.type == QLIB_DOWNLOAD_EVENT_START || record.type == QLIB_DOWNLOAD_EVENT_PROGRESS) {
    updateProgressBar(slotOfHandleValue(record.handle), record.words[3] * 0.01);
  }
  return 1;
}

void asyncMessageCallBack(void* context, const void* message, HANDLE handle) {
  if (!message) return;
  const auto* bytes = static_cast<const unsigned char*>(message);
  uint16_t tag = 0;
  std::memcpy(&tag, bytes + offsetof(QLIB_AsyncTextMessage, tag), sizeof tag);
  if (bytes[0] != QLIB_ASYNC_TEXT_MARKER || tag != QLIB_ASYNC_TEXT_TAG) return;
  uint16_t logType = 0;
  std::memcpy(&logType, bytes + offsetof(QLIB_AsyncTextMessage, logType), sizeof logType);
  const char* text = reinterpret_cast<const char*>(bytes + QLIB_ASYNC_TEXT_OFFSET);
  const std::string body(text, strnlen(text, QLIB_ASYNC_TEXT_SIZE));
  updateMesage(slotOfHandle(handle),
               formatText("Log Type: %d,Log Text: %s", logType, body.c_str()));
}
