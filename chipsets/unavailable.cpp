#include "chipsets/unavailable.h"

#include <cstdio>
#include <string>

#include "host/report.h"

namespace {

std::string notAvailable(const char* platform) {
  return std::string("The ") + platform + " platform is not available in this build.";
}

}  // namespace

int failUnavailableLoad(const char* platform) {
  MessagePopup("Error", notAvailable(platform));
  return -1;
}

int failUnavailableSave(const char* platform) {
  std::fprintf(stderr, "%s: the file list was not saved. %s\n", platform,
               notAvailable(platform).c_str());
  return -1;
}

int failUnavailableStep(const char* platform, const char* step, const DownloadRequest& request) {
  updateMesage(request.slot, std::string(step) + " failed. " + notAvailable(platform));
  return -1;
}
