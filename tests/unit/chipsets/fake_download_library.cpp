#include "fake_download_library.h"

#include <algorithm>
#include <cstring>

#include "platform/qca_library.h"

namespace {

FakeDownloadModule gModule;
uintptr_t gNextHandle = 0x100;
QLIB_TextLogCallback_t gTextLog = nullptr;
QLIB_TextCallback_t gSaharaLog = nullptr;

void record(const std::string& call) {
  gModule.calls.push_back(call);
}

HANDLE newHandle() {
  return reinterpret_cast<HANDLE>(gNextHandle++);
}

void setLibraryMode(unsigned char mode) {
  record("SetLibraryMode(" + std::to_string(mode) + ")");
}
void setTargetType(unsigned char type) {
  record("SetTargetType(" + std::to_string(type) + ")");
}
void getLibraryVersion(char* text) {
  std::strcpy(text, "9.9.99");
}
void getCapabilities(unsigned char* diag, unsigned char* efs, unsigned char* download,
                     unsigned char* qpst) {
  *diag = 1;
  *efs = 1;
  *download = 1;
  *qpst = 0;
}

HANDLE connect(unsigned int port) {
  record("Connect(" + std::to_string(port) + ")");
  if (gModule.deadPorts.count(port)) return nullptr;
  HANDLE handle = newHandle();
  gModule.openDiag.insert(handle);
  return handle;
}
void disconnect(HANDLE handle) {
  record("Disconnect");
  gModule.openDiag.erase(handle);
}
unsigned char flush(HANDLE) {
  return 1;
}
unsigned char isPhoneConnected(HANDLE) {
  return gModule.phoneConnected ? 1 : 0;
}
unsigned char switchToDownload(HANDLE, unsigned int timeoutMs, unsigned char validate,
                               unsigned char* result) {
  record("Switch(" + std::to_string(timeoutMs) + "," + std::to_string(validate) + ")");
  if (gModule.onSwitch) gModule.onSwitch();
  *result = gModule.switchAccepted ? 1 : 0;
  return gModule.switchAccepted ? 1 : 0;
}

HANDLE connectSahara(unsigned int port, unsigned int* version, unsigned int* serial,
                     unsigned int* msmId, char* info, unsigned char readInfo, unsigned int mode,
                     unsigned int timeoutMs, QLIB_TextCallback_t callback) {
  gModule.saharaConnectPorts.push_back(port);
  record("SaharaConnect(" + std::to_string(port) + "," + std::to_string(readInfo) + "," +
         std::to_string(mode) + "," + std::to_string(timeoutMs) + ")");
  const bool answers = gModule.saharaPorts.empty() || gModule.saharaPorts.count(port);
  if (!answers || gModule.saharaFailures > 0) {
    if (gModule.saharaFailures > 0) --gModule.saharaFailures;
    return nullptr;
  }
  HANDLE handle = newHandle();
  gModule.openSahara.insert(handle);
  *version = gModule.saharaVersion;
  *serial = 77;
  *msmId = 0x480E1;
  std::strcpy(info, "hello");
  gSaharaLog = callback;
  return handle;
}
unsigned char flashProgrammer(HANDLE handle, const char* path) {
  gModule.programmerPath = path;
  if (gSaharaLog) gSaharaLog(handle, "Sahara says hello");
  record("FlashProgrammer");
  return gModule.programmerAccepted ? 1 : 0;
}
void disconnectSahara(HANDLE handle) {
  record("SaharaDisconnect");
  gModule.openSahara.erase(handle);
}
unsigned char stopLogging(HANDLE) {
  record("StopLogging");
  return 1;
}
unsigned char errorInfo(HANDLE, unsigned char* present, char* text, int size) {
  record("ErrorInfo");
  *present = gModule.errorText.empty() ? 0 : 1;
  std::snprintf(text, static_cast<size_t>(size), "%s", gModule.errorText.c_str());
  return 1;
}
void configureTextLog(HANDLE, QLIB_TextLogCallback_t callback) {
  gTextLog = callback;
  record("TextLogCallBack");
}
void setLogFlags(HANDLE, unsigned int flags) {
  record("SetLogFlags(" + std::to_string(flags) + ")");
}
unsigned char setCategory(HANDLE, unsigned short category, unsigned char enable) {
  record("Category(" + std::to_string(category) + "," + std::to_string(enable) + ")");
  return 1;
}
void playStreamRecords(HANDLE handle) {
  for (const auto& [type, text] : gModule.streamRecords) {
    QLIB_TextLogRecord rec{};
    rec.type = type;
    rec.length = static_cast<unsigned>(text.size());
    std::snprintf(rec.text, sizeof rec.text, "%s", text.c_str());
    if (gTextLog) gTextLog(nullptr, &rec, handle);
  }
}

unsigned char downloadPartitions(HANDLE handle, const char* programmer, const char* partitionFile,
                                 const void* list, unsigned char overrideTable, unsigned char boot,
                                 unsigned char verify, unsigned int hello, unsigned int timeout,
                                 unsigned int* status) {
  record("Download(" + std::to_string(boot) + "," + std::to_string(verify) + "," +
         std::to_string(hello) + "," + std::to_string(timeout) + ")");
  gModule.streamProgrammer = programmer;
  gModule.partitionFile = partitionFile;
  std::memcpy(&gModule.partitions, list, sizeof gModule.partitions);
  gModule.partitionList = list;
  gModule.overrideTable = overrideTable;
  playStreamRecords(handle);
  *status = gModule.streamSucceeds ? 0 : 1;
  return gModule.streamSucceeds ? 1 : 0;
}

unsigned char sendNop(HANDLE, unsigned int timeoutMs) {
  record("Nop(" + std::to_string(timeoutMs) + ")");
  return gModule.nopAnswered ? 1 : 0;
}
unsigned char sendReset(HANDLE, unsigned int timeoutMs) {
  record("Reset(" + std::to_string(timeoutMs) + ")");
  return gModule.resetAccepted ? 1 : 0;
}

unsigned char uploadMultiImage(HANDLE handle, const char* programmer, const char* partition,
                               const char* dbl, const char* fsbl, const char* osbl,
                               const char* modem, const char* extra1, const char* extra2,
                               const char* extra3, const char* extra4, const char* extra5,
                               const char* text1, const char* text2, const char* text3,
                               const char* text4, const char* text5, const char* text6,
                               unsigned char skipProgrammer, unsigned char overrideTable,
                               unsigned char boot, unsigned char verify, unsigned int hello,
                               unsigned int timeout, int* errorCode) {
  record("Upload(" + std::to_string(skipProgrammer) + "," + std::to_string(overrideTable) + "," +
         std::to_string(boot) + "," + std::to_string(verify) + "," + std::to_string(hello) + "," +
         std::to_string(timeout) + ")");
  gModule.streamProgrammer = programmer;
  for (const char* path :
       {partition, dbl, fsbl, osbl, modem, extra1, extra2, extra3, extra4, extra5}) {
    gModule.uploadImages.push_back(path ? path : "(null)");
  }
  for (const char* text : {text1, text2, text3, text4, text5, text6}) {
    gModule.uploadTexts.push_back(text ? text : "(null)");
  }
  playStreamRecords(handle);
  *errorCode = gModule.streamSucceeds ? 0 : gModule.uploadErrorCode;
  return gModule.streamSucceeds ? 1 : 0;
}

void configureProgrammerText(HANDLE, QLIB_TextCallback_t callback) {
  record("ProgrammerTextCallBack");
  gModule.programmerText = callback;
}

}  // namespace

bool FakeDownloadModule::called(const std::string& call) const {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

FakeDownloadModule& fakeDownloadModule() {
  return gModule;
}

void installFakeDownloadLibrary() {
  gModule = FakeDownloadModule{};
  gTextLog = nullptr;
  gSaharaLog = nullptr;
  fn_QLIB_SetLibraryMode = setLibraryMode;
  fn_QLIB_SetTargetType = setTargetType;
  fn_QLIB_GetLibraryVersion = getLibraryVersion;
  fn_QLIB_GetLibraryCapabilities = getCapabilities;
  fn_QLIB_ConnectServer = connect;
  fn_QLIB_DisconnectServer = disconnect;
  fn_QLIB_FlushRxBuffer = flush;
  fn_QLIB_IsPhoneConnected = isPhoneConnected;
  fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation = switchToDownload;
  fn_QLIB_QPHONEMS_ConnectServer_Sahara = connectSahara;
  fn_QLIB_QPHONEMS_Sahara_FlashProgrammer = flashProgrammer;
  fn_QLIB_DisconnectServer_Sahara = disconnectSahara;
  fn_QLIB_StopLogging = stopLogging;
  fn_QLIB_GetLastSoftwareDownloadErrorInfo = errorInfo;
  fn_QLIB_ConfigureLibraryTextLogCallBack = configureTextLog;
  fn_QLIB_SetLogFlags = setLogFlags;
  fn_QLIB_ExtendedTextMessage_SetCategoryEnable = setCategory;
  fn_QLIB_QPHONEMS_DownloadUserPartitions = downloadPartitions;
  fn_QLIB_QPHONEMS_DLoad_SendNop = sendNop;
  fn_QLIB_QPHONEMS_DLoad_Reset = sendReset;
  fn_QLIB_QPHONEMS_UploadSB2MultiImage = uploadMultiImage;
  fn_QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack = configureProgrammerText;
}

std::vector<std::pair<unsigned short, std::string>> streamTexts(
    const std::vector<std::string>& files, int notesPerFile) {
  std::vector<std::pair<unsigned short, std::string>> out = {
      {QLIB_TEXT_LOG_TYPE_TEXT, "Streaming download session start"},
      {QLIB_TEXT_LOG_TYPE_TEXT, "Sending HELLO to flash programmer"}};
  for (const std::string& file : files) {
    out.emplace_back(QLIB_TEXT_LOG_TYPE_TEXT, "Downloading " + file);
    for (int i = 0; i < notesPerFile; ++i) {
      out.emplace_back(QLIB_TEXT_LOG_TYPE_TRANSFER, "SEND_ASYNC(4096)");
    }
  }
  return out;
}
