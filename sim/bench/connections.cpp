#include "sim/bench/connections.h"

#include <signal.h>

#include <cerrno>
#include <cstdlib>

namespace sim {
namespace {

// Whether the process that made the instance still runs.
bool instanceAlive(const std::string& instance) {
  char* end = nullptr;
  const long pid = std::strtol(instance.c_str(), &end, 10);
  if (end == instance.c_str() || pid <= 0) return true;  // not ours to judge
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string instanceOf(const std::string& connectionId) {
  return connectionId.substr(0, connectionId.find(':'));
}

bool ConnectionTable::open(const LibraryConnection& connection, std::string& error) {
  dropConnectionsOfEndedProcesses();
  for (const auto& [id, other] : connections_) {
    // A connection to a module that was unplugged since is dead and holds nothing.
    if (id == connection.id || other.moduleId != connection.moduleId ||
        other.com != connection.com || other.plugCount != connection.plugCount) {
      continue;
    }
    if (!connection.shared || !other.shared) {
      error = "COM" + std::to_string(connection.com) + " is in use by another connection";
      return false;
    }
  }
  connections_[connection.id] = connection;
  return true;
}

void ConnectionTable::close(const std::string& id) {
  connections_.erase(id);
}

void ConnectionTable::closeInstance(const std::string& instance) {
  std::erase_if(connections_,
                [&](const auto& entry) { return instanceOf(entry.first) == instance; });
}

LibraryConnection* ConnectionTable::find(const std::string& id) {
  auto found = connections_.find(id);
  return found == connections_.end() ? nullptr : &found->second;
}

std::vector<LibraryConnection> ConnectionTable::all() const {
  std::vector<LibraryConnection> out;
  for (const auto& [id, connection] : connections_) out.push_back(connection);
  return out;
}

void ConnectionTable::dropConnectionsOfEndedProcesses() {
  std::erase_if(connections_,
                [](const auto& entry) { return !instanceAlive(instanceOf(entry.first)); });
}

}  // namespace sim
