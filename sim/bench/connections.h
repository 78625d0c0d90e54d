#pragma once
// The diagnostic library's connections as the modules see them. A module's port in direct mode
// has one owner at a time: a second connection is refused until the first is closed; through
// the phone server (QPST mode) several connections share a port, but never with a direct one.
// A connection belongs to the module that was plugged when it opened: after an unplug it never
// answers again, and after a restart it answers only once the library has asked for the phone.
// Connections are named "<library instance>:<handle>"; an instance is "<pid>-<nonce>", so the
// connections of a library that went away with its process are let go.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct LibraryConnection {
  std::string id;
  std::string moduleId;
  int com = 0;
  bool shared = false;  // opened in QPST mode
  uint64_t plugCount = 0;
  uint64_t bootCount = 0;
  bool spcAccepted = false;  // the service programming code was accepted since the last boot
};

class ConnectionTable {
 public:
  // Opens `connection`; false with `error` set when another connection holds the port.
  bool open(const LibraryConnection& connection, std::string& error);
  void close(const std::string& id);
  // Closes every connection of one library instance (the text before the ':').
  void closeInstance(const std::string& instance);
  LibraryConnection* find(const std::string& id);
  std::vector<LibraryConnection> all() const;

 private:
  void dropConnectionsOfEndedProcesses();

  std::map<std::string, LibraryConnection> connections_;
};

// The library instance of a connection id.
std::string instanceOf(const std::string& connectionId);

}  // namespace sim
