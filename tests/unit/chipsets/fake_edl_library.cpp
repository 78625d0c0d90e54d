#include "fake_edl_library.h"

#include "fake_download_library.h"
#include "platform/qca_library.h"

namespace {

FakeEdlModule gEdl;
uintptr_t gNextHandle = 0x8000;

void record(const std::string& call) {
  fakeDownloadModule().calls.push_back(call);
}

unsigned char switchToEdl(HANDLE) {
  record("SwitchToEDL");
  if (gEdl.switchRefusals > 0) {
    --gEdl.switchRefusals;
    return 0;
  }
  if (gEdl.onSwitch) gEdl.onSwitch();
  return 1;
}

HANDLE connectWithWait(unsigned int port, unsigned int waitMs) {
  record("ConnectWithWait(" + std::to_string(port) + "," + std::to_string(waitMs) + ")");
  if (fakeDownloadModule().deadPorts.count(port)) return nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(gNextHandle++);
  fakeDownloadModule().openDiag.insert(handle);
  return handle;
}

unsigned char downloadCefs(HANDLE, const char* path) {
  record("DownloadCEFS");
  gEdl.efsPath = path ? path : "";
  return gEdl.efsSaved ? 1 : 0;
}

void disconnectAll() {
  record("DisconnectAll");
  fakeDownloadModule().openDiag.clear();
}

unsigned char terminateServer() {
  record("TerminateQPSTServer");
  return 1;
}

}  // namespace

FakeEdlModule& fakeEdlModule() {
  return gEdl;
}

void installFakeEdlLibrary() {
  gEdl = FakeEdlModule{};
  fn_QLIB_QPHONEMS_SwitchToEDL = switchToEdl;
  fn_QLIB_ConnectServerWithWait = connectWithWait;
  fn_QLIB_DownloadCEFS_File = downloadCefs;
  fn_QLIB_DisconnectAllServers = disconnectAll;
  fn_QLIB_TerminateQPSTServer = terminateServer;
}
