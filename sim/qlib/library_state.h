#pragma once
// The simulated diagnostic library's own state and helpers: its open connections (each a
// handle bound to a COM number), the library mode, the questions it asks the bench about the
// module behind a COM number, its callbacks, and the pacing of its transfers. Every exported
// function goes through here. The bench holds the same connections (a port has one owner in
// direct mode, a connection dies with its module's reset or unplug), so every connection is
// opened and closed there too, and every question about a connection names it.

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/qlib_api.h"

namespace simqlib {

enum class ConnectionKind { kDiag, kSahara, kFirehose };

struct Connection {
  unsigned com = 0;
  ConnectionKind kind = ConnectionKind::kDiag;
  QLIB_TextLogCallback_t textLog = nullptr;
  QLIB_TextCallback_t programmerText = nullptr;
  QLIB_TextCallback_t saharaLog = nullptr;
  QLIB_DownloadEventCallback_t downloadEvent = nullptr;
  QLIB_AsyncMessageCallback_t asyncMessage = nullptr;
  unsigned logFlags = 0;
  std::string pendingQcnPath;  // loaded by QLIB_NV_LoadNVsFromQCN, written by the next write
};

// ---- Connections ----

// A new handle for `connection` (never 0, never reused, fits into 32 bits), once the bench let
// it open the port; null when the port is not there or another connection owns it. In QPST
// mode the port is shared with other QPST-mode connections.
HANDLE openConnection(const Connection& connection);
// The bench's name of the connection behind `handle`, for a connection the bench opened
// itself (a Sahara connection opens with its hello).
std::string connectionName(HANDLE handle);
// A handle for a connection the bench already opened under `name`.
HANDLE adoptConnection(const Connection& connection, HANDLE reserved);
// A handle number to open a connection under.
HANDLE reserveHandle();
// A copy of the connection behind `handle`, or nothing when the handle is not open.
std::optional<Connection> findConnection(HANDLE handle);
// Changes the connection behind `handle`; false when it is not open.
bool updateConnection(HANDLE handle, const std::function<void(Connection&)>& change);
void closeConnection(HANDLE handle);
void closeAllConnections();

// ---- Library mode ----

void setLibraryMode(unsigned char mode);
bool usingQpst();

// ---- Errors ----

// The text of the last failure of a software download (per handle, and the latest overall).
void setLastError(HANDLE handle, const std::string& text);
std::string lastError(HANDLE handle);

// ---- The bench ----

// Asks the bench about the module behind `com`: the request gets "cmd" and "com". True when
// the bench answered {"ok": true}; otherwise `reply` holds {"ok": false, "error": ...}.
bool askBench(const std::string& cmd, unsigned com, nlohmann::json& reply,
              nlohmann::json fields = nlohmann::json::object());
bool askBench(const std::string& cmd, unsigned com);
// Asks the bench on the connection `handle`: the request names the connection. False (with the
// reply's error) when the handle is not open here or the bench refuses.
bool askOn(HANDLE handle, const std::string& cmd, nlohmann::json& reply,
           nlohmann::json fields = nlohmann::json::object());
bool askOn(HANDLE handle, const std::string& cmd);

// Polls the bench until `ready(reply of cmd)` or the (scaled) time-out passes.
bool waitForBench(const std::string& cmd, unsigned com, unsigned timeoutMs,
                  const std::function<bool(const nlohmann::json&)>& ready);

// ---- Callbacks ----

void emitTextLog(HANDLE handle, unsigned short type, const std::string& text);
void emitProgrammerText(HANDLE handle, const std::string& text);
void emitSaharaText(HANDLE handle, const std::string& text);
void emitAsyncText(HANDLE handle, const std::string& text);
void emitDownloadEvent(HANDLE handle, unsigned type, unsigned percent);

// Runs `work` on a thread of the library and waits for it: the library's callbacks arrive on
// its own threads, as the station expects.
void onLibraryThread(const std::function<void()>& work);

// ---- Pacing ----

// Waits as long as moving `bytes` over the module's link takes (scaled by ZENDRAL_TIME_SCALE).
void paceTransfer(uint64_t bytes);
// Waits `seconds` (scaled).
void paceSeconds(double seconds);

// Copies `text` into a buffer of `size` bytes, always terminated.
void copyText(char* buffer, size_t size, const std::string& text);
std::string fileName(const std::string& path);

}  // namespace simqlib
