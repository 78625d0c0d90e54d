#include "fake_library.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/qca_library.h"

namespace {

FakeModule gModule;
uintptr_t gNextHandle = 0x100;
std::map<HANDLE, int> gPollsLeft;

void record(const std::string& call) {
  gModule.calls.push_back(call);
}

bool writeBackup(const char* path, bool complete) {
  std::string content = serializeItems(gModule.nvItems);
  if (!complete) content.resize(content.size() / 2);
  if (gModule.backupFileSize) content.resize(*gModule.backupFileSize, '.');
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

bool transferBackup(const char* path) {
  gModule.qpstBusyDuringTransfer.push_back(IsQpstOpration());
  if (gModule.backupFailures > 0) {
    --gModule.backupFailures;
    writeBackup(path, false);
    return false;
  }
  if (gModule.successWithoutFile) return true;
  return writeBackup(path, true);
}

bool readBackup(const char* path, std::map<uint16_t, std::string>& items) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != "ZQCN") return false;
  items.clear();
  while (std::getline(in, line)) {
    if (line == "END") return true;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    items[static_cast<uint16_t>(std::stoi(line.substr(0, colon)))] = line.substr(colon + 1);
  }
  return false;
}

// ---- The fakes ----

void setLibraryMode(unsigned char mode) {
  record("SetLibraryMode(" + std::to_string(mode) + ")");
}
void setTargetType(unsigned char) {}
HANDLE connectWithHandShake(unsigned int port) {
  record("Connect(" + std::to_string(port) + ")");
  if (gModule.connectFailures > 0) {
    --gModule.connectFailures;
    return nullptr;
  }
  HANDLE handle = reinterpret_cast<HANDLE>(gNextHandle++);
  gPollsLeft[handle] = gModule.silentPolls;
  return handle;
}
void disconnect(HANDLE) {
  record("Disconnect");
}
unsigned char stopLogging(HANDLE) {
  return 1;
}
unsigned char flushRx(HANDLE) {
  return 1;
}
void configureCallBacks(HANDLE, QLIB_ReservedCallback_t, QLIB_DownloadEventCallback_t event,
                        QLIB_AsyncMessageCallback_t) {
  record(event ? "ConfigureCallBacks(events)" : "ConfigureCallBacks(no events)");
}
unsigned char isPhoneConnected(HANDLE handle) {
  int& left = gPollsLeft[handle];
  if (left < 0) return 0;
  if (left > 0) {
    --left;
    return 0;
  }
  return 1;
}
unsigned char qpstStatus(HANDLE, unsigned int* status) {
  *status = 3;
  return 1;
}
unsigned char control(HANDLE, int mode) {
  record("Control(" + std::to_string(mode) + ")");
  return 1;
}
unsigned char verno(HANDLE, char* compileDate, char* compileTime, char* releaseDate,
                    char* releaseTime, char* versionDir, unsigned char*, unsigned char*,
                    unsigned char*, unsigned short*, unsigned char*, unsigned char*,
                    unsigned char*) {
  std::strcpy(compileDate, "Jan 01 2020");
  std::strcpy(compileTime, "10:00:00");
  std::strcpy(releaseDate, "Jan 02 2020");
  std::strcpy(releaseTime, "11:00:00");
  std::strcpy(versionDir, "MPSS");
  return 1;
}
unsigned char buildId(HANDLE, unsigned int*, unsigned int*, char* revision, char* model) {
  std::strcpy(revision, "MPSS.1.0");
  std::strcpy(model, "fake");
  return 1;
}
unsigned char commandCode(HANDLE, unsigned short* code) {
  *code = 0;
  return 1;
}
unsigned char nvRead(HANDLE, unsigned short item, unsigned char* data, int, unsigned short* st) {
  if (item != QLIB_NV_FTM_MODE_ITEM || gModule.ftmReadFails) return 0;
  *data = gModule.ftmMode;
  *st = 0;
  return 1;
}
unsigned char nvWrite(HANDLE, unsigned short item, const unsigned char* data, int,
                      unsigned short* st) {
  record("FtmWrite(" + std::to_string(*data) + ")");
  if (item != QLIB_NV_FTM_MODE_ITEM) return 0;
  if (!(gModule.ftmStuckOn && *data == 0)) gModule.ftmMode = *data;
  *st = 0;
  return 1;
}
unsigned char spc(HANDLE, const unsigned char* code, unsigned char* status) {
  record("SPC(" + std::string(reinterpret_cast<const char*>(code), 6) + ")");
  *status = gModule.spcAccepted ? 1 : 0;
  return gModule.spcAccepted ? 1 : 0;
}
unsigned char multiSim(HANDLE, unsigned char) {
  if (gModule.multiSimFailures > 0) {
    --gModule.multiSimFailures;
    return 0;
  }
  return 1;
}
unsigned char backupItems(HANDLE, const char* path, int* code) {
  record(std::string("Backup(") + path + ")");
  *code = 0;
  return transferBackup(path) ? 1 : 0;
}
unsigned char downloadQcn(HANDLE, const char* path, const char* spcText) {
  record(std::string("Download(") + path + "," + spcText + ")");
  return transferBackup(path) ? 1 : 0;
}
unsigned char loadItems(HANDLE, const char* path, int* count, int* code) {
  record(std::string("Load(") + path + ")");
  gModule.qpstBusyDuringTransfer.push_back(IsQpstOpration());
  if (gModule.loadFailures > 0 || !readBackup(path, gModule.loaded)) {
    gModule.loadFailures = std::max(0, gModule.loadFailures - 1);
    *code = 7;
    return 0;
  }
  *count = static_cast<int>(gModule.loaded.size());
  return 1;
}
unsigned char writeItems(HANDLE, int* code) {
  record("WriteNVs");
  if (gModule.writeFailures > 0) {
    --gModule.writeFailures;
    *code = 9;
    return 0;
  }
  gModule.nvItems = gModule.loaded;
  return 1;
}
unsigned char uploadQcn(HANDLE, const char* path, const char* spcText, unsigned char) {
  record(std::string("Upload(") + path + "," + spcText + ")");
  std::map<uint16_t, std::string> items;
  if (!readBackup(path, items)) return 0;
  gModule.nvItems = items;
  return 1;
}
unsigned char uploadQcnV1(HANDLE handle, const char* path, const char* spcText, unsigned char a,
                          unsigned char, unsigned char, unsigned char) {
  return uploadQcn(handle, path, spcText, a);
}

}  // namespace

size_t FakeModule::count(const std::string& call) const {
  return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

FakeModule& fakeModule() {
  return gModule;
}

std::string serializeItems(const std::map<uint16_t, std::string>& items) {
  std::ostringstream out;
  out << "ZQCN\n";
  for (const auto& [item, value] : items) out << item << ':' << value << '\n';
  out << "END\n";
  return out.str();
}

void installFakeLibrary() {
  resetQcaBinding();
  gModule = FakeModule{};
  gPollsLeft.clear();
  fn_QLIB_SetLibraryMode = setLibraryMode;
  fn_QLIB_SetTargetType = setTargetType;
  fn_QLIB_ConnectServerWithHandShake = connectWithHandShake;
  fn_QLIB_DisconnectServer = disconnect;
  fn_QLIB_StopLogging = stopLogging;
  fn_QLIB_FlushRxBuffer = flushRx;
  fn_QLIB_ConfigureCallBacks = configureCallBacks;
  fn_QLIB_IsPhoneConnected = isPhoneConnected;
  fn_QLIB_GetQpstPhoneStatus = qpstStatus;
  fn_QLIB_DIAG_CONTROL_F = control;
  fn_QLIB_DIAG_VERNO_F = verno;
  fn_QLIB_DIAG_EXT_BUILD_ID_F = buildId;
  fn_QLIB_FTM_GET_COMMAND_CODE = commandCode;
  fn_QLIB_DIAG_NV_READ_F = nvRead;
  fn_QLIB_DIAG_NV_WRITE_F = nvWrite;
  fn_QLIB_DIAG_SPC_F = spc;
  fn_QLIB_NV_SetTargetSupportMultiSIM = multiSim;
  fn_QLIB_BackupNVFromMobileToQCN = backupItems;
  fn_QLIB_DownloadQcnFile = downloadQcn;
  fn_QLIB_DownloadQcnFile_V2 = downloadQcn;
  fn_QLIB_NV_LoadNVsFromQCN = loadItems;
  fn_QLIB_NV_WriteNVsToMobile = writeItems;
  fn_QLIB_UploadQcnFile_V2 = uploadQcn;
  fn_QLIB_UploadQcnFile = uploadQcnV1;
}
