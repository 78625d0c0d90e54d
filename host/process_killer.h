#pragma once
// Ending outside programs by the exact file name of their executable, as the station does with
// a vendor server before a download. Only processes of the station's own user are considered,
// never the station itself. Tests install the recording backend so that they never end
// anything.

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

namespace host {

class ProcessKiller {
 public:
  virtual ~ProcessKiller() = default;
  // Ends every process of this user (other than the station) whose executable's file name is
  // exactly `executableName`. Returns how many were signalled.
  virtual int endByName(const std::string& executableName) = 0;
};

// The processes of this user, other than the caller, whose executable's file name is exactly
// `executableName` (the target of /proc/<pid>/exe, else the first word of its command line).
std::vector<pid_t> findProcessesByName(const std::string& executableName);

// The real backend: SIGKILL to every process findProcessesByName lists.
class SystemProcessKiller : public ProcessKiller {
 public:
  int endByName(const std::string& executableName) override;
};

// The test backend: remembers the names it was asked to end and ends nothing.
class RecordingProcessKiller : public ProcessKiller {
 public:
  int endByName(const std::string& executableName) override;
  std::vector<std::string> names() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
};

// The killer the station uses (the system one until another is installed).
ProcessKiller& processKiller();
// Installs `killer` (not owned; null restores the system one). Returns the previous one.
ProcessKiller* installProcessKiller(ProcessKiller* killer);

}  // namespace host
