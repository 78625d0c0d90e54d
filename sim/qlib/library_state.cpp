#include "sim/qlib/library_state.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "host/bench_client.h"
#include "host/clock.h"

namespace simqlib {
namespace {

// Handles count up from here, so that a stray small integer is never a valid handle.
constexpr uintptr_t kFirstHandle = 0x5100;
// Bytes per second of the module's download link.
constexpr double kLinkBytesPerSecond = 4.0 * 1024 * 1024;
constexpr int kBenchPollMs = 20;

std::mutex gMutex;
std::map<uintptr_t, Connection> gConnections;
uintptr_t gNextHandle = kFirstHandle;
std::map<uintptr_t, std::string> gErrors;
std::string gLatestError;
std::atomic<unsigned char> gLibraryMode{QLIB_LIB_MODE_QPHONEMS};

uintptr_t key(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// This load of the library, as the bench tells its connections apart: the process and a
// number drawn at load time (a reloaded library starts its handles afresh).
const std::string& instanceName() {
  static const std::string name = [] {
    char text[48];
    std::snprintf(text, sizeof text, "%d-%08x", static_cast<int>(::getpid()),
                  static_cast<unsigned>(std::random_device{}()));
    return std::string(text);
  }();
  return name;
}

std::string nameOf(uintptr_t handle) {
  char text[24];
  std::snprintf(text, sizeof text, ":%llx", static_cast<unsigned long long>(handle));
  return instanceName() + text;
}

bool askBenchRaw(nlohmann::json request, nlohmann::json& reply) {
  std::string error;
  const std::string socket = host::benchSocketPath();
  if (socket.empty()) {
    reply = {{"ok", false}, {"error", "no bench (ZENDRAL_BENCH is not set)"}};
    return false;
  }
  if (!host::benchRequest(socket, request, reply, error)) {
    reply = {{"ok", false}, {"error", error}};
    return false;
  }
  return host::benchReplyOk(reply);
}

// A library that is unloaded (or whose process ends) lets go of the ports it held.
struct ReleaseOnUnload {
  ~ReleaseOnUnload() {
    nlohmann::json reply;
    if (!gConnections.empty()) {
      askBenchRaw({{"cmd", "disconnect-instance"}, {"instance", instanceName()}}, reply);
    }
  }
} gReleaseOnUnload;

}  // namespace

HANDLE reserveHandle() {
  std::lock_guard lock(gMutex);
  const uintptr_t handle = gNextHandle;
  gNextHandle += 0x10;
  return reinterpret_cast<HANDLE>(handle);
}

std::string connectionName(HANDLE handle) {
  return nameOf(key(handle));
}

HANDLE adoptConnection(const Connection& connection, HANDLE reserved) {
  std::lock_guard lock(gMutex);
  gConnections[key(reserved)] = connection;
  return reserved;
}

HANDLE openConnection(const Connection& connection) {
  HANDLE handle = reserveHandle();
  nlohmann::json reply;
  if (!askBenchRaw({{"cmd", "connect"},
                    {"com", connection.com},
                    {"conn", connectionName(handle)},
                    {"shared", usingQpst()}},
                   reply)) {
    return nullptr;
  }
  return adoptConnection(connection, handle);
}

std::optional<Connection> findConnection(HANDLE handle) {
  std::lock_guard lock(gMutex);
  auto found = gConnections.find(key(handle));
  if (found == gConnections.end()) return std::nullopt;
  return found->second;
}

bool updateConnection(HANDLE handle, const std::function<void(Connection&)>& change) {
  std::lock_guard lock(gMutex);
  auto found = gConnections.find(key(handle));
  if (found == gConnections.end()) return false;
  change(found->second);
  return true;
}

// Closing always works: the bench lets go of the port whatever state the module is in.
void closeConnection(HANDLE handle) {
  {
    std::lock_guard lock(gMutex);
    if (gConnections.erase(key(handle)) == 0) return;
  }
  nlohmann::json reply;
  askBenchRaw({{"cmd", "disconnect"}, {"conn", connectionName(handle)}}, reply);
}

void closeAllConnections() {
  {
    std::lock_guard lock(gMutex);
    gConnections.clear();
  }
  nlohmann::json reply;
  askBenchRaw({{"cmd", "disconnect-instance"}, {"instance", instanceName()}}, reply);
}

void setLibraryMode(unsigned char mode) {
  gLibraryMode = mode;
}
bool usingQpst() {
  return gLibraryMode.load() == QLIB_LIB_MODE_QPST;
}

void setLastError(HANDLE handle, const std::string& text) {
  std::lock_guard lock(gMutex);
  gErrors[key(handle)] = text;
  gLatestError = text;
}

std::string lastError(HANDLE handle) {
  std::lock_guard lock(gMutex);
  auto found = gErrors.find(key(handle));
  return found != gErrors.end() ? found->second : gLatestError;
}

bool askBench(const std::string& cmd, unsigned com, nlohmann::json& reply, nlohmann::json fields) {
  fields["cmd"] = cmd;
  fields["com"] = com;
  return askBenchRaw(std::move(fields), reply);
}

bool askOn(HANDLE handle, const std::string& cmd, nlohmann::json& reply, nlohmann::json fields) {
  if (!findConnection(handle)) {
    reply = {{"ok", false}, {"error", "Invalid handle"}};
    return false;
  }
  fields["cmd"] = cmd;
  fields["conn"] = connectionName(handle);
  return askBenchRaw(std::move(fields), reply);
}

bool askOn(HANDLE handle, const std::string& cmd) {
  nlohmann::json reply;
  return askOn(handle, cmd, reply);
}

bool askBench(const std::string& cmd, unsigned com) {
  nlohmann::json reply;
  return askBench(cmd, com, reply);
}

bool waitForBench(const std::string& cmd, unsigned com, unsigned timeoutMs,
                  const std::function<bool(const nlohmann::json&)>& ready) {
  const uint64_t deadline =
      host::tickMs() + static_cast<uint64_t>(std::max<int64_t>(host::scaledMs(timeoutMs), 0));
  for (;;) {
    nlohmann::json reply;
    if (askBench(cmd, com, reply) && ready(reply)) return true;
    if (host::tickMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBenchPollMs));
  }
}

void emitTextLog(HANDLE handle, unsigned short type, const std::string& text) {
  auto connection = findConnection(handle);
  if (!connection || !connection->textLog) return;
  QLIB_TextLogRecord record{};
  record.type = type;
  copyText(record.text, sizeof record.text, text);
  record.length = static_cast<unsigned>(std::strlen(record.text));
  connection->textLog(nullptr, &record, handle);
}

void emitProgrammerText(HANDLE handle, const std::string& text) {
  auto connection = findConnection(handle);
  if (connection && connection->programmerText) connection->programmerText(handle, text.c_str());
}

void emitSaharaText(HANDLE handle, const std::string& text) {
  auto connection = findConnection(handle);
  if (connection && connection->saharaLog) connection->saharaLog(handle, text.c_str());
}

void emitAsyncText(HANDLE handle, const std::string& text) {
  auto connection = findConnection(handle);
  if (!connection || !connection->asyncMessage) return;
  QLIB_AsyncTextMessage message{};
  message.marker = QLIB_ASYNC_TEXT_MARKER;
  message.tag = QLIB_ASYNC_TEXT_TAG;
  message.logType = 4;
  copyText(message.text, sizeof message.text, text);
  connection->asyncMessage(nullptr, &message, handle);
}

void emitDownloadEvent(HANDLE handle, unsigned type, unsigned percent) {
  auto connection = findConnection(handle);
  if (!connection || !connection->downloadEvent) return;
  QLIB_DownloadEvent event{};
  event.type = type;
  event.handle = static_cast<unsigned>(key(handle));
  event.words[3] = static_cast<unsigned short>(percent);
  connection->downloadEvent(&event);
}

void onLibraryThread(const std::function<void()>& work) {
  std::thread worker(work);
  worker.join();
}

void paceTransfer(uint64_t bytes) {
  paceSeconds(static_cast<double>(bytes) / kLinkBytesPerSecond);
}

void paceSeconds(double seconds) {
  const int64_t ms = host::scaledMs(static_cast<int64_t>(seconds * 1000));
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void copyText(char* buffer, size_t size, const std::string& text) {
  if (!buffer || size == 0) return;
  const size_t n = std::min(size - 1, text.size());
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string fileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace simqlib
