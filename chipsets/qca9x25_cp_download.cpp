// The Qca9x25 CP download: optional QCN backup (always driving the port itself), the wait for
// other slots' QCN work, the switch into download mode, one Sahara try without the Sahara
// lock, and the streaming download of the user partitions. The vendor phone server is left
// running.

#include "chipsets/chipset_services.h"
#include "chipsets/cp_run.h"
#include "chipsets/cp_steps.h"
#include "chipsets/qca9x25.h"
#include "chipsets/qca9x25_firmware.h"
#include "chipsets/qca9x25_text_log.h"
#include "chipsets/sahara_upload.h"
#include "chipsets/streaming_download.h"
#include "host/station_options.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

namespace {

constexpr unsigned kEmergencySaharaMode = 0;
constexpr unsigned kSaharaMode = 2;
constexpr unsigned kPartitionTimeoutMs = 3000;

constexpr char kConnectFailed[] = "ConnectServer failed, Please repower %d DUT.";

constexpr PhoneServerHandOver kHandOver = {false, nullptr};
constexpr DownloadSwitch kSwitch = {0.5, 0.0,
                                    "SwitchToDownloadMode failed, Please repower %d DUT."};
constexpr SaharaUpload kSahara = {
    false,   3.0, 1,
    0.0,     200, "Connect Sahara Server failed, Please repower %d DUT.",
    nullptr, -12, qca9x25SaharaLogCallBack,
    false,
};

const StreamingDownload& streaming() {
  static const StreamingDownload kStreaming = {
      qca9x25TextLogCallBack, &qca9x25TextLog(), kPartitionTimeoutMs, false, false,
  };
  return kStreaming;
}

// A firmware with missing files has neither a download list nor AP images: nothing would be
// written, so the download does not start.
bool firmwareComplete(const CpRun& run) {
  const Qca9x25Firmware& fw = qca9x25Firmware();
  if (fw.missing.empty()) return true;
  run.say(formatText("can't find %s file.", fw.missing.front().c_str()));
  return false;
}

// With backup/restore on and the diagnostic port: the module's QCN. 0 or the failure.
int backUpQcn(const CpRun& run) {
  if (run.request.portKind != kDiagnosticPort || !gBackupRestoreQcn) return 0;
  const int op = bUseQcnQca9x25 ? kBackupQcn : kBackupXqcn;
  return chipsetServices().backupQcn(run.request, op, 1);
}

// On the diagnostic port: the switch, then a fixed wait for the download port.
bool switchToDownload(CpRun& run) {
  if (!connectDiagnostic(run, run.port, 1, kConnectFailed)) return false;
  if (!cpWait(2.5) || !switchToDownloadMode(run, kSwitch)) return false;
  return cpWait(5.0);
}

// Everything from the switch to the end of the streaming download.
int runDownload(CpRun& run) {
  if (run.request.portKind == kDiagnosticPort && !switchToDownload(run)) return -1;
  const unsigned mode = run.request.portKind == kEmergencyPort ? kEmergencySaharaMode : kSaharaMode;
  if (const int uploaded = uploadProgrammer(run, kSahara, mode); uploaded != 0) return uploaded;
  // A connection that did not open would only fail inside the library.
  if (!connectDiagnostic(run, run.port, 1, kConnectFailed)) return -1;
  const Qca9x25Firmware& fw = qca9x25Firmware();
  return streamPartitionsOrReport(run, streaming(), {fw.partitionFile, fw.userPartitions});
}

}  // namespace

int downloadCpQca9x25(const DownloadRequest& request) {
  if (request.slot < 1 || request.slot > kHandleMapSize) return -1;
  CpRun run(request);
  initLogfile(run.dut, "9x25");
  qca9x25TextLog().resetCurrentProgress();
  if (!firmwareComplete(run)) return -1;
  if (const int backup = backUpQcn(run); backup != 0) return backup;
  if (!handOverFromPhoneServer(run, kHandOver)) return -1;
  fn_QLIB_SetLibraryMode(QLIB_LIB_MODE_QPHONEMS);
  fn_QLIB_SetTargetType(0);
  const Qca9x25Firmware& fw = qca9x25Firmware();
  choosePortAndProgrammer(run, fw.normalProgrammer, fw.emergencyProgrammer);
  if (!cpWait(0.5)) return -1;
  const int result = runDownload(run);
  closeCpRun(run);
  return result;
}
