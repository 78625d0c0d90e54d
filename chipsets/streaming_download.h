#pragma once
// The streaming download of the user partitions on the run's open diagnostic connection,
// shared by the platforms that stream their CP partitions through the library: the text-log
// callback is set up, the library streams, and the outcome is logged.

#include <string>

#include "chipsets/cp_run.h"
#include "chipsets/download_text_log.h"
#include "platform/qlib_api.h"

struct StreamingDownload {
  QLIB_TextLogCallback_t textLogCallBack;
  DownloadTextLog* textLog;  // the platform's, for the partition-download flag
  unsigned partitionTimeoutMs;
  // Whether the run's programmer path goes to the library (it uploads the programmer itself)
  // or an empty text (the programmer already runs in the module).
  bool passProgrammer;
  // Whether a download that announced no partition is told apart as a partition diff; when
  // not, the library's answer alone decides.
  bool partitionDiffCase;
  // The outcome as the DUT's message shows it.
  const char* successText = "CP Download Success!";
  const char* failedText = "CP Download Failed!";
  const char* partitionDiffText = "CP Download Failed!,Partition diff!";
  // Whether a success fills the DUT's progress bar.
  bool fullProgressOnSuccess = false;
};

enum class StreamResult { Success, Failed, PartitionDiff };

// The firmware's part of the download: the partition file and the list of user partitions,
// in the short layout or the long one of the long-name library build.
struct StreamFiles {
  StreamFiles(const std::string& file, const QLIB_UserPartitionList& list)
      : partitionFile(file), partitions(&list) {}
  StreamFiles(const std::string& file, const QLIB_LongUserPartitionList& list)
      : partitionFile(file), partitions(&list) {}

  const std::string& partitionFile;
  const void* partitions;
};

// Streams on run.diag and logs the success text, the failed text or (with the partition-diff
// case) the partition-diff text.
StreamResult streamPartitions(CpRun& run, const StreamingDownload& streaming,
                              const StreamFiles& files);

// Streams as above and, when that fails, logs the library's reason too. 0 or -1.
int streamPartitionsOrReport(CpRun& run, const StreamingDownload& streaming,
                             const StreamFiles& files);
