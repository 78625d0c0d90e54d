#include "station/download_request.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "host/locks.h"
#include "station/slot_access.h"

namespace {

// At most this many characters of the MEID travel in a request.
constexpr size_t kRequestMeidLength = 15;

// Copies a NUL-terminated field into a request field, cut to `limit` characters and always
// terminated.
template <size_t From, size_t To>
void copyText(char (&to)[To], const char (&from)[From], size_t limit = To - 1) {
  const size_t length = std::min({strnlen(from, From), limit, To - 1});
  std::memcpy(to, from, length);
  to[length] = '\0';
}

DownloadRequest requestWithoutPath(ThreadData& slot) {
  DownloadRequest request;
  std::memset(&request, 0, sizeof request);
  request.portKind = loadField(slot.portKind);
  request.slot = loadField(slot.slot);
  std::lock_guard lock(datalock);
  request.diaport = slot.diaport;
  request.atport = slot.atport;
  request.ql9008port = slot.ql9008port;
  request.ql9009port = slot.ql9009port;
  copyText(request.imei, slot.imei);
  copyText(request.meid, slot.meid, kRequestMeidLength);
  return request;
}

void copyDevicePath(DownloadRequest& request, ThreadData& slot) {
  std::lock_guard lock(threadDataLock);
  copyText(request.devicePath, slot.devicePath);
}

}  // namespace

DownloadRequest fullRequest(ThreadData& slot) {
  DownloadRequest request = requestWithoutPath(slot);
  copyDevicePath(request, slot);
  return request;
}

DownloadRequest cpRequest(ThreadData& slot) {
  return requestWithoutPath(slot);
}

DownloadRequest apRequest(ThreadData& slot) {
  DownloadRequest request;
  std::memset(&request, 0, sizeof request);
  request.slot = loadField(slot.slot);
  copyDevicePath(request, slot);
  return request;
}

void clearDevicePath(ThreadData& slot) {
  std::lock_guard lock(threadDataLock);
  slot.devicePath[0] = '\0';
}

int workerDut(ThreadData& slot) {
  const int dut = loadField(slot.slot);
  return dut >= 1 && dut <= dutCount() ? dut : 0;
}

PlatformType currentPlatformType() {
  return pPlatforms ? pPlatforms->type : -1;
}
