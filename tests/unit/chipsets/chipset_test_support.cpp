#include "chipset_test_support.h"

namespace chipset_test {
namespace {

ServiceCalls gCalls;

int fakeLoadLibrary(int flag) {
  gCalls.loadedFlags.push_back(flag);
  return gCalls.loadLibraryResult;
}

int fakeCheckCfun(const DownloadRequest&) {
  ++gCalls.cfunChecks;
  return gCalls.checkCfunResult;
}

int fakeBackupQcn(const DownloadRequest&, int op, int qphonems) {
  gCalls.qcnCalls.emplace_back(op, qphonems);
  return gCalls.backupQcnResult;
}

void fakePrintVersion(const DownloadRequest&) {
  ++gCalls.versionReports;
}

int fakeFlashAll(int dut, const std::string& path, uint64_t total, double start) {
  gCalls.flashes.push_back({dut, path, total, start});
  return gCalls.flashAllResult;
}

int fakeReadDeviceInfo(const DownloadRequest&, std::string* flashId) {
  ++gCalls.deviceInfoReads;
  if (flashId) *flashId = gCalls.flashId;
  return gCalls.flashId.empty() ? 0 : 1;
}

int fakeWriteNvItem(const DownloadRequest&) {
  ++gCalls.nvWrites;
  return gCalls.writeNvResult;
}

}  // namespace

ServiceCalls& serviceCalls() {
  return gCalls;
}

void installFakeServices() {
  gCalls = ServiceCalls{};
  chipsetServices() =
      ChipsetServices{fakeLoadLibrary, fakeCheckCfun,      fakeBackupQcn,  fakePrintVersion,
                      fakeFlashAll,    fakeReadDeviceInfo, fakeWriteNvItem};
}

}  // namespace chipset_test
