#include "chipsets/streaming_download.h"

#include "chipsets/cp_steps.h"
#include "host/station_options.h"

namespace {

constexpr unsigned kLogFlags = 9;
constexpr unsigned short kTextCategory = 4;
constexpr unsigned kHelloTimeoutMs = 5000;

}  // namespace

StreamResult streamPartitions(CpRun& run, const StreamingDownload& streaming,
                              const StreamFiles& files) {
  if (!streaming.passProgrammer) run.programmer.clear();
  fn_QLIB_ConfigureLibraryTextLogCallBack(run.diag, streaming.textLogCallBack);
  fn_QLIB_SetLogFlags(run.diag, kLogFlags);
  fn_QLIB_ExtendedTextMessage_SetCategoryEnable(run.diag, kTextCategory, 1);
  streaming.textLog->clearPartitionSeen(run.dut);
  // With the QCN kept the module's partition table may differ from the firmware's.
  const unsigned char overrideTable = gBackupRestoreQcn ? 1 : 0;
  unsigned status = 0;
  const bool ok =
      fn_QLIB_QPHONEMS_DownloadUserPartitions(
          run.diag, run.programmer.c_str(), files.partitionFile.c_str(), files.partitions,
          overrideTable, 1, 1, kHelloTimeoutMs, streaming.partitionTimeoutMs, &status) != 0;
  const bool partitionSeen =
      !streaming.partitionDiffCase || streaming.textLog->partitionSeen(run.dut);
  if (ok && partitionSeen) {
    if (streaming.fullProgressOnSuccess) updateProgressBar(run.dut, 1.0);
    run.say(streaming.successText);
    return StreamResult::Success;
  }
  if (partitionSeen) {
    run.say(streaming.failedText);
    return StreamResult::Failed;
  }
  run.say(streaming.partitionDiffText);
  return StreamResult::PartitionDiff;
}

int streamPartitionsOrReport(CpRun& run, const StreamingDownload& streaming,
                             const StreamFiles& files) {
  if (streamPartitions(run, streaming, files) == StreamResult::Success) return 0;
  logDownloadError(run, run.diag);
  return -1;
}
