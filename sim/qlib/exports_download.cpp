// Download mode, Sahara, the streaming download, the multi-image upload, and the Firehose
// entry points that the station binds but never calls.

#include <cstring>

#include "sim/bench/sha256.h"
#include "sim/qlib/library_state.h"
#include "sim/qlib/streaming.h"

using namespace simqlib;

namespace {

bool isKind(HANDLE handle, ConnectionKind kind) {
  auto connection = findConnection(handle);
  return connection && connection->kind == kind;
}

// Asks on a connection of `kind`; a connection of another kind is no answer.
bool askOnKind(HANDLE handle, ConnectionKind kind, const std::string& cmd) {
  return isKind(handle, kind) && askOn(handle, cmd);
}

// The images of a multi-image upload that are given (null and empty paths are left out).
void addImage(std::vector<StreamImage>& images, const char* partition, const char* path) {
  if (path && *path) images.push_back({partition, path});
}

unsigned char uploadMultiImage(HANDLE handle, const char* programmerPath,
                               const std::vector<StreamImage>& images, bool overrideTable,
                               bool boot, int* errorCode) {
  StreamRequest request;
  request.programmerPath = programmerPath ? programmerPath : "";
  request.images = images;
  request.overridePartitionTable = overrideTable;
  request.bootAfterDownload = boot;
  request.via = "multi-image";
  bool ok = false;
  onLibraryThread([&] { ok = runStreamingDownload(handle, request); });
  if (errorCode) *errorCode = ok ? 0 : 0x0B;
  return ok ? 1 : 0;
}

}  // namespace

extern "C" {

unsigned char QLIB_QPHONEMS_DownloadUserPartitions(HANDLE handle, const char* programmerPath,
                                                   const char* partitionFilePath,
                                                   const void* userPartitionList,
                                                   unsigned char overridePartitionTable,
                                                   unsigned char bootAfterDownload, unsigned char,
                                                   unsigned int, unsigned int,
                                                   unsigned int* status) {
  StreamRequest request;
  if (!findConnection(handle) || !readUserPartitionList(userPartitionList, request.images)) {
    setLastError(handle, "Invalid user partition list");
    if (status) *status = 1;
    return 0;
  }
  request.programmerPath = programmerPath ? programmerPath : "";
  request.partitionTablePath = partitionFilePath ? partitionFilePath : "";
  request.overridePartitionTable = overridePartitionTable != 0;
  request.bootAfterDownload = bootAfterDownload != 0;
  bool ok = false;
  onLibraryThread([&] { ok = runStreamingDownload(handle, request); });
  if (status) *status = ok ? 0 : 1;
  return ok ? 1 : 0;
}

unsigned char QLIB_GetLastSoftwareDownloadErrorInfo(HANDLE handle, unsigned char* errorPresent,
                                                    char* text, int textSize) {
  const std::string error = lastError(handle);
  if (errorPresent) *errorPresent = error.empty() || textSize <= 0 || !text ? 0 : 1;
  if (text && textSize > 0) copyText(text, static_cast<size_t>(textSize), error);
  return 1;
}

unsigned char QLIB_QPHONEMS_DLoad_SendNop(HANDLE handle, unsigned int) {
  return askOnKind(handle, ConnectionKind::kDiag, "dload-nop") ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_DLoad_Reset(HANDLE handle, unsigned int) {
  return askOnKind(handle, ConnectionKind::kDiag, "dload-reset") ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(HANDLE handle, unsigned int,
                                                                    unsigned char,
                                                                    unsigned char* result) {
  emitProgrammerText(handle, "Switching Mobile to DOWNLOAD mode");
  const bool ok = askOnKind(handle, ConnectionKind::kDiag, "switch-download");
  if (!ok) setLastError(handle, "The phone did not switch to download mode");
  if (result) *result = ok ? 1 : 0;
  return ok ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_SwitchToDownloadMode(HANDLE handle, unsigned int timeoutMs) {
  unsigned char result = 0;
  return QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(handle, timeoutMs, 0, &result);
}

unsigned char QLIB_QPHONEMS_SwitchToEDL(HANDLE handle) {
  return askOnKind(handle, ConnectionKind::kDiag, "switch-edl") ? 1 : 0;
}

HANDLE QLIB_QPHONEMS_ConnectServer_Sahara(unsigned int comPort, unsigned int* version,
                                          unsigned int* serialNumber, unsigned int* msmId,
                                          char* info, unsigned char, unsigned int,
                                          unsigned int timeoutMs, QLIB_TextCallback_t callback) {
  if (version) *version = 0;
  if (comPort == 0) return nullptr;
  // The hello opens the connection on the bench: the port is this connection's from then on.
  HANDLE handle = reserveHandle();
  nlohmann::json reply;
  if (!waitForBench("port", comPort, timeoutMs, [&](const nlohmann::json&) {
        return askBench("sahara-connect", comPort, reply, {{"open", connectionName(handle)}});
      })) {
    return nullptr;
  }
  Connection connection;
  connection.com = comPort;
  connection.kind = ConnectionKind::kSahara;
  connection.saharaLog = callback;
  adoptConnection(connection, handle);
  if (version) *version = reply.value("version", 0u);
  if (serialNumber) *serialNumber = reply.value("serial", 0u);
  if (msmId) *msmId = reply.value("msmId", 0u);
  copyText(info, 200, "Sahara HELLO from COM" + std::to_string(comPort));
  emitSaharaText(handle, "Received HELLO packet, Sahara version " +
                             std::to_string(reply.value("version", 0u)));
  return handle;
}

unsigned char QLIB_QPHONEMS_Sahara_SetImageTransferMode(HANDLE handle, unsigned char) {
  return isKind(handle, ConnectionKind::kSahara) ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_Sahara_FlashProgrammer(HANDLE handle, const char* programmerPath) {
  if (!isKind(handle, ConnectionKind::kSahara) || !programmerPath) return 0;
  std::string sha;
  uint64_t size = 0;
  if (!sim::sha256OfFile(programmerPath, sha, size) || size == 0) {
    setLastError(handle, std::string("Cannot open flash programmer ") + programmerPath);
    return 0;
  }
  bool ok = false;
  onLibraryThread([&] {
    emitSaharaText(handle, "Uploading flash programmer " + fileName(programmerPath));
    paceTransfer(size);
    nlohmann::json reply;
    ok = askOn(handle, "sahara-programmer", reply,
               {{"name", fileName(programmerPath)}, {"sha256", sha}, {"path", programmerPath}});
    if (ok) {
      emitSaharaText(handle, "Flash programmer transferred, " + std::to_string(size) + " bytes");
    } else {
      setLastError(handle, "Sahara image transfer failed: " + reply.value("error", "no answer"));
    }
  });
  return ok ? 1 : 0;
}

void QLIB_DisconnectServer_Sahara(HANDLE handle) {
  closeConnection(handle);
}

void QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack(HANDLE handle,
                                                        QLIB_TextCallback_t callback) {
  updateConnection(handle, [&](Connection& c) { c.programmerText = callback; });
}

void QLIB_QPHONEMS_SaharaConfigureCallback(HANDLE handle, QLIB_TextCallback_t callback) {
  updateConnection(handle, [&](Connection& c) { c.saharaLog = callback; });
}

unsigned char QLIB_QPHONEMS_UploadSB2MultiImage(
    HANDLE handle, const char* programmerPath, const char* partitionPath, const char* dblPath,
    const char* fsblPath, const char* osblPath, const char* modemPath, const char* extraImagePath1,
    const char* extraImagePath2, const char* extraImagePath3, const char* extraImagePath4,
    const char* extraImagePath5, const char*, const char*, const char*, const char*, const char*,
    const char*, unsigned char, unsigned char overridePartitionTable,
    unsigned char bootAfterDownload, unsigned char, unsigned int, unsigned int, int* errorCode) {
  std::vector<StreamImage> images;
  addImage(images, "0:PARTITION", partitionPath);
  addImage(images, "0:DBL", dblPath);
  addImage(images, "0:FSBL", fsblPath);
  addImage(images, "0:OSBL", osblPath);
  addImage(images, "0:AMSS", modemPath);
  addImage(images, "0:EXTRA1", extraImagePath1);
  addImage(images, "0:EXTRA2", extraImagePath2);
  addImage(images, "0:EXTRA3", extraImagePath3);
  addImage(images, "0:EXTRA4", extraImagePath4);
  addImage(images, "0:EXTRA5", extraImagePath5);
  return uploadMultiImage(handle, programmerPath, images, overridePartitionTable != 0,
                          bootAfterDownload != 0, errorCode);
}

unsigned char QLIB_UploadSB2MultiImage(
    HANDLE handle, const char* programmerPath, const char* partitionPath, const char* dblPath,
    const char* fsblPath, const char* osblPath, const char* modemPath, const char* extraImagePath1,
    const char* extraImagePath2, const char* extraImagePath3, const char* extraImagePath4,
    const char* extraImagePath5, const char* extraText1, const char* extraText2,
    const char* extraText3, const char* extraText4, const char* extraText5, const char* extraText6,
    unsigned char skipProgrammer, unsigned char overridePartitionTable,
    unsigned char bootAfterDownload, unsigned char verifyImages, unsigned int helloTimeoutMs,
    unsigned int imageTimeoutMs, int* errorCode) {
  return QLIB_QPHONEMS_UploadSB2MultiImage(
      handle, programmerPath, partitionPath, dblPath, fsblPath, osblPath, modemPath,
      extraImagePath1, extraImagePath2, extraImagePath3, extraImagePath4, extraImagePath5,
      extraText1, extraText2, extraText3, extraText4, extraText5, extraText6, skipProgrammer,
      overridePartitionTable, bootAfterDownload, verifyImages, helloTimeoutMs, imageTimeoutMs,
      errorCode);
}

// ---- Firehose over the library: connections only; the images go through the tools ----

HANDLE QLIB_QPHONEMS_ConnectServer_FireHose(unsigned int comPort, unsigned int) {
  nlohmann::json reply;
  if (comPort == 0 || !askBench("port", comPort, reply) || reply.value("role", "") != "edl") {
    return nullptr;
  }
  Connection connection;
  connection.com = comPort;
  connection.kind = ConnectionKind::kFirehose;
  return openConnection(connection);
}

void QLIB_QPHONEMS_FireHoseConfigureCallback(HANDLE handle, QLIB_TextCallback_t callback) {
  updateConnection(handle, [&](Connection& c) { c.programmerText = callback; });
}

unsigned char QLIB_QPHONEMS_FireHoseNOP(HANDLE handle) {
  return askOnKind(handle, ConnectionKind::kFirehose, "port") ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_FireHoseConfigure(HANDLE handle, const char*, unsigned char,
                                              unsigned int) {
  return askOnKind(handle, ConnectionKind::kFirehose, "port") ? 1 : 0;
}

unsigned char QLIB_QPHONEMS_UploadEmmcImage_FireHose(HANDLE handle, const char*, const char*) {
  setLastError(handle, "Image loading over the library is not offered; use the Firehose tool");
  return 0;
}

void QLIB_DisconnectServer_FireHose(HANDLE handle) {
  closeConnection(handle);
}

unsigned char QLIB_QPHONEMS_FireHoseErase(HANDLE handle, const char*) {
  return askOnKind(handle, ConnectionKind::kFirehose, "port") ? 1 : 0;
}

}  // extern "C"
