// Connections, callbacks and the reports of the library and the phone.

#include <cstring>

#include "host/bench_client.h"
#include "sim/qlib/library_state.h"

using namespace simqlib;

namespace {

// Shown by QLIB_GetLibraryVersion.
const char kLibraryVersion[] = "Zendral bench library 6.0.47";

Connection diagConnection(unsigned com) {
  Connection connection;
  connection.com = com;
  return connection;
}

// Whether the phone behind the connection answers a diagnostic request now.
bool phoneAnswers(HANDLE handle, nlohmann::json& reply) {
  return askOn(handle, "version", reply);
}

}  // namespace

extern "C" {

void QLIB_SetLibraryMode(unsigned char mode) {
  setLibraryMode(mode);
}

HANDLE QLIB_ConnectServer(unsigned int comPort) {
  if (comPort == 0) return nullptr;
  return openConnection(diagConnection(comPort));
}

// Waits for the port to be there and free.
HANDLE QLIB_ConnectServerWithWait(unsigned int comPort, unsigned int waitMs) {
  if (comPort == 0) return nullptr;
  HANDLE handle = nullptr;
  waitForBench("port", comPort, waitMs, [&](const nlohmann::json&) {
    handle = openConnection(diagConnection(comPort));
    return handle != nullptr;
  });
  return handle;
}

HANDLE QLIB_ConnectServerWithHandShake(unsigned int comPort) {
  nlohmann::json reply;
  if (comPort == 0 || !askBench("phone", comPort, reply) || !reply.value("connected", false)) {
    return nullptr;
  }
  return openConnection(diagConnection(comPort));
}

void QLIB_DisconnectServer(HANDLE handle) {
  closeConnection(handle);
}

void QLIB_DisconnectAllServers(void) {
  closeAllConnections();
}

unsigned char QLIB_GetAvailablePhonesPortList(unsigned short* portCount, unsigned short* ports,
                                              unsigned short ignoreCount,
                                              const unsigned short* ignorePorts) {
  if (!portCount) return 0;
  const unsigned short capacity = *portCount;
  *portCount = 0;
  nlohmann::json reply;
  std::string error;
  const std::string socket = host::benchSocketPath();
  if (socket.empty() || !host::benchRequest(socket, {{"cmd", "ports"}}, reply, error)) return 0;
  for (const auto& port : reply.value("ports", nlohmann::json::array())) {
    const std::string name = port.value("name", "");
    const int com = port.value("com", 0);
    if (name.find("AT Port") != std::string::npos || com <= 0 || com > 0xFFFF) continue;
    bool ignored = false;
    for (unsigned short i = 0; ignorePorts && i < ignoreCount; ++i)
      ignored |= ignorePorts[i] == com;
    if (ignored) continue;
    if (ports && *portCount < capacity) ports[*portCount] = static_cast<unsigned short>(com);
    ++*portCount;
  }
  return 1;
}

void QLIB_ConfigureLibraryTextLogCallBack(HANDLE handle, QLIB_TextLogCallback_t callback) {
  updateConnection(handle, [&](Connection& c) { c.textLog = callback; });
}

void QLIB_ConfigureCallBacks(HANDLE handle, QLIB_ReservedCallback_t,
                             QLIB_DownloadEventCallback_t downloadEvent,
                             QLIB_AsyncMessageCallback_t asyncMessage) {
  updateConnection(handle, [&](Connection& c) {
    c.downloadEvent = downloadEvent;
    c.asyncMessage = asyncMessage;
  });
}

unsigned char QLIB_IsPhoneConnected(HANDLE handle) {
  nlohmann::json reply;
  return askOn(handle, "phone", reply) && reply.value("connected", false) ? 1 : 0;
}

void QLIB_SetTargetType(unsigned char) {}

unsigned char QLIB_ExtendedTextMessage_SetCategoryEnable(HANDLE handle, unsigned short,
                                                         unsigned char) {
  return askOn(handle, "port") ? 1 : 0;
}

void QLIB_SetLogFlags(HANDLE handle, unsigned int flags) {
  updateConnection(handle, [&](Connection& c) { c.logFlags = flags; });
}

unsigned char QLIB_StartLogging(HANDLE handle, const char*) {
  return findConnection(handle) ? 1 : 0;
}

unsigned char QLIB_StopLogging(HANDLE handle) {
  return findConnection(handle) ? 1 : 0;
}

unsigned char QLIB_ConfigureTimeOut(HANDLE handle, unsigned int, unsigned int) {
  return findConnection(handle) ? 1 : 0;
}

void QLIB_GetLibraryCapabilities(unsigned char* supportsDiag, unsigned char* supportsEfs,
                                 unsigned char* supportsSwDownload, unsigned char* usingQpstOut) {
  if (supportsDiag) *supportsDiag = 1;
  if (supportsEfs) *supportsEfs = 1;
  if (supportsSwDownload) *supportsSwDownload = 1;
  if (usingQpstOut) *usingQpstOut = usingQpst() ? 1 : 0;
}

unsigned char QLIB_FlushRxBuffer(HANDLE handle) {
  return askOn(handle, "port") ? 1 : 0;
}

void QLIB_GetLibraryVersion(char* text) {
  copyText(text, QLIB_LIBRARY_VERSION_SIZE, kLibraryVersion);
}

unsigned char QLIB_GetQpstPhoneStatus(HANDLE handle, unsigned int* status) {
  nlohmann::json reply;
  if (!status || !askOn(handle, "phone-status", reply)) return 0;
  *status = reply.value("status", 0u);
  return 1;
}

unsigned char QLIB_DIAG_VERNO_F(HANDLE handle, char* compileDate, char* compileTime,
                                char* releaseDate, char* releaseTime, char* versionDir,
                                unsigned char* stationClassMark, unsigned char* caiRevision,
                                unsigned char* mobileModel, unsigned short* firmwareRevision,
                                unsigned char* slotCycleIndex, unsigned char* vocoderMajor,
                                unsigned char* vocoderMinor) {
  nlohmann::json reply;
  if (!phoneAnswers(handle, reply)) return 0;
  copyText(compileDate, 12, "Mar 14 2024");
  copyText(compileTime, 9, "09:26:53");
  copyText(releaseDate, 12, "Mar 14 2024");
  copyText(releaseTime, 9, "09:00:00");
  copyText(versionDir, 9, reply.value("platform", "").substr(3, 8));
  if (stationClassMark) *stationClassMark = 58;
  if (caiRevision) *caiRevision = 6;
  if (mobileModel) *mobileModel = 255;
  if (firmwareRevision) *firmwareRevision = 1187;
  if (slotCycleIndex) *slotCycleIndex = 2;
  if (vocoderMajor) *vocoderMajor = 0;
  if (vocoderMinor) *vocoderMinor = 0;
  return 1;
}

unsigned char QLIB_DIAG_EXT_BUILD_ID_F(HANDLE handle, unsigned int* msmHwVersion,
                                       unsigned int* mobileModel, char* softwareRevision,
                                       char* modelId) {
  nlohmann::json reply;
  if (!phoneAnswers(handle, reply)) return 0;
  if (msmHwVersion) *msmHwVersion = reply.value("msmId", 0u);
  if (mobileModel) *mobileModel = 0xFF;
  copyText(softwareRevision, 512, reply.value("revision", ""));
  copyText(modelId, 512, reply.value("platform", ""));
  return 1;
}

unsigned char QLIB_FTM_GET_COMMAND_CODE(HANDLE handle, unsigned short* commandCode) {
  nlohmann::json reply;
  if (!commandCode || !phoneAnswers(handle, reply)) return 0;
  *commandCode = 75;
  return 1;
}

unsigned char QLIB_GetPhoneOperatingMode(HANDLE handle, unsigned int* mode) {
  nlohmann::json reply;
  if (!mode || !askOn(handle, "operating-mode", reply)) return 0;
  *mode = reply.value("mode", 0u);
  return 1;
}

unsigned char QLIB_GetPhoneCallState(HANDLE handle, int* callState, int* systemMode) {
  nlohmann::json reply;
  if (!callState || !systemMode || !phoneAnswers(handle, reply)) return 0;
  *callState = 0;   // idle
  *systemMode = 5;  // WCDMA service
  return 1;
}

unsigned char QLIB_DIAG_CONTROL_F(HANDLE handle, int mode) {
  nlohmann::json reply;
  return askOn(handle, "control", reply, {{"mode", mode}}) ? 1 : 0;
}

unsigned char QLIB_TerminateQPSTServer(void) {
  return 1;
}

}  // extern "C"
