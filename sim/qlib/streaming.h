#pragma once
// The streaming download of the simulated library: a flash programmer already runs in the
// module (or is handed over first), then each image goes over the link in 4 KiB pieces while
// the text-log callback hears what a real download says ("Sending HELLO to flash programmer",
// "Downloading /fw/sbl1.mbn", "SEND_ASYNC(4096)", ...). The bench records every image by size
// and SHA-256, and may pull the module part-way (an unplug fault of the cp stage).

#include <string>
#include <vector>

#include "platform/qlib_api.h"

namespace simqlib {

struct StreamImage {
  std::string partition;  // "0:SBL"
  std::string path;
};

struct StreamRequest {
  std::string programmerPath;  // empty: the programmer already runs
  std::string partitionTablePath;
  std::vector<StreamImage> images;
  bool overridePartitionTable = false;
  bool bootAfterDownload = true;
  std::string via = "streaming";  // how the bench records the images ("multi-image")
};

// Runs the download over the connection `handle`. False with the reason kept as the
// connection's last error (QLIB_GetLastSoftwareDownloadErrorInfo).
bool runStreamingDownload(HANDLE handle, const StreamRequest& request);

// The entries of a user partition list in this build's layout (short or long names). False
// when the list is null or malformed (a count past the entries, a name or path without its
// terminator).
bool readUserPartitionList(const void* list, std::vector<StreamImage>& images);

}  // namespace simqlib
