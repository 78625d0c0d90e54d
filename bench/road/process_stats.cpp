#include "bench/road/process_stats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace road {
namespace {

namespace fs = std::filesystem;

std::string procPath(pid_t pid, const char* file) {
  return "/proc/" + std::to_string(pid) + "/" + file;
}

// The fields of /proc/<pid>/stat after the command name (which may hold blanks), from field 3.
bool statFields(pid_t pid, std::vector<std::string>& fields) {
  std::ifstream in(procPath(pid, "stat"));
  std::string line;
  if (!std::getline(in, line)) return false;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(line.substr(close + 2));
  fields.clear();
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields.size() > 20;
}

int countEntries(const std::string& folder) {
  std::error_code error;
  int count = 0;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    ++count;
  }
  return error ? -1 : count;
}

int countChildren(pid_t parent) {
  int count = 0;
  std::error_code error;
  std::vector<std::string> fields;
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // Field 4 of stat is the parent's pid (index 1 after the command name).
    if (statFields(std::stoi(name), fields) && std::stoi(fields[1]) == parent) ++count;
  }
  return count;
}

}  // namespace

double processCpuSeconds(pid_t pid) {
  std::vector<std::string> fields;
  if (!statFields(pid, fields)) return -1.0;
  // Fields 14 and 15 (utime, stime) in clock ticks.
  const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double processRunDelaySeconds(pid_t pid) {
  std::error_code error;
  double seconds = 0;
  bool read = false;
  for (fs::directory_iterator it(procPath(pid, "task"), error), end; !error && it != end;
       it.increment(error)) {
    // schedstat: time on a CPU, time waiting on a run queue, time slices (nanoseconds).
    std::ifstream in(it->path() / "schedstat");
    long long running = 0, waiting = 0;
    if (in >> running >> waiting) {
      seconds += static_cast<double>(waiting) / 1e9;
      read = true;
    }
  }
  return read ? seconds : -1.0;
}

bool readProcessStats(pid_t pid, ProcessStats& stats) {
  std::ifstream status(procPath(pid, "status"));
  if (!status) return false;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) stats.threads = std::stoi(line.substr(8));
    if (line.rfind("VmRSS:", 0) == 0) stats.rssKiB = std::stoll(line.substr(6));
  }
  stats.descriptors = countEntries(procPath(pid, "fd"));
  stats.children = countChildren(pid);
  stats.cpuSeconds = processCpuSeconds(pid);
  return stats.descriptors >= 0;
}

}  // namespace road
