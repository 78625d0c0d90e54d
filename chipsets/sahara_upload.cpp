#include "chipsets/sahara_upload.h"

#include <cstdint>

#include "chipsets/cp_steps.h"
#include "chipsets/sahara_lock.h"
#include "chipsets/wait_limits.h"
#include "platform/text_format.h"

namespace {

// The Sahara lock as far as this run holds it.
class SaharaLockHold {
 public:
  ~SaharaLockHold() { release(); }
  // Takes the lock; false (after saying why, unless stopped) when it did not become free.
  bool take(const CpRun& run) {
    switch (takeSaharaLock(kModuleWaitLimitSeconds)) {
      case SaharaLockResult::Taken:
        held_ = true;
        return true;
      case SaharaLockResult::TimedOut:
        run.say(formatText("Sahara is busy on another DUT, Please repower %d DUT.", run.dut));
        return false;
      case SaharaLockResult::Stopped:
        return false;
    }
    return false;
  }
  void release() {
    if (!held_) return;
    releaseSaharaLock();
    held_ = false;
  }

 private:
  bool held_ = false;
};

// Connects Sahara on the run's port, up to `tries` times. Returns the handle, or null.
HANDLE connectSahara(CpRun& run, const SaharaUpload& upload, unsigned mode) {
  HANDLE sahara = nullptr;
  unsigned version = 0, serial = 0, msmId = 0;
  for (int attempt = 1; attempt <= upload.tries; ++attempt) {
    run.say(formatText("Connecting Sahara Server %d times....", attempt));
    char info[200] = {};
    version = 0;
    sahara = fn_QLIB_QPHONEMS_ConnectServer_Sahara(static_cast<unsigned>(run.port), &version,
                                                   &serial, &msmId, info, 1, mode, upload.timeoutMs,
                                                   upload.logCallBack);
    run.say(formatText("saharaHandle=0x%04x, Version:%d",
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(sahara)), version));
    if (sahara && version == 0) fn_QLIB_DisconnectServer_Sahara(sahara);
    if (!cpWait(upload.waitAfterTry)) {
      if (sahara && version != 0) fn_QLIB_DisconnectServer_Sahara(sahara);
      return nullptr;
    }
    if (upload.follow9009) run.take9009PortIfPresent();
    if (sahara && version != 0) break;
  }
  // A handle without a Sahara version was released above: the connect did not succeed.
  if (!sahara || version == 0) {
    run.say(formatText(upload.failedText, run.dut));
    return nullptr;
  }
  run.say(formatText("Version: %d, MSMId: %d,SN: %d.", version, msmId, serial));
  return sahara;
}

}  // namespace

int uploadProgrammer(CpRun& run, const SaharaUpload& upload, unsigned mode) {
  if (!cpWait(upload.waitBefore)) return -1;
  SaharaLockHold lock;
  if (upload.takeLock && !lock.take(run)) return -1;
  HANDLE sahara = connectSahara(run, upload, mode);
  if (!sahara) return -1;
  run.mapEntry() = sahara;
  run.say("Waiting Sahara_FlashProgrammer...");
  if (!fn_QLIB_QPHONEMS_Sahara_FlashProgrammer(sahara, run.programmer.c_str())) {
    if (upload.programmerFailedText) run.say(formatText(upload.programmerFailedText, run.dut));
    logDownloadError(run, sahara);
    fn_QLIB_DisconnectServer_Sahara(sahara);
    lock.release();
    fn_QLIB_StopLogging(sahara);
    return upload.programmerFailedResult;
  }
  fn_QLIB_StopLogging(sahara);
  fn_QLIB_DisconnectServer_Sahara(sahara);
  const bool waited = cpWait(1.0);
  lock.release();
  return waited ? 0 : -1;
}
