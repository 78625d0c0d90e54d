#pragma once
// Whether a process still runs, as tests that end processes check it through /proc.

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace test_support {

// True when the process is gone or only a zombie waiting for its parent: it runs no more.
inline bool processEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// True while a process of group `group` runs.
inline bool groupRuns(pid_t group) {
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (::getpgid(pid) == group && !processEnded(pid)) return true;
  }
  return false;
}

}  // namespace test_support
