#include "host/process_killer.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace host {
namespace {

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's file name of process `pid`, or empty when it cannot be read.
std::string executableNameOf(const std::string& pidDir) {
  char target[4096];
  ssize_t length = ::readlink((pidDir + "/exe").c_str(), target, sizeof target - 1);
  if (length > 0) {
    std::string path(target, static_cast<size_t>(length));
    const std::string deleted = " (deleted)";
    if (path.ends_with(deleted)) path.resize(path.size() - deleted.size());
    return baseName(path);
  }
  // Not readable (for example a process that dropped its dump permission): use argv[0].
  std::ifstream cmdline(pidDir + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(cmdline, first, '\0');
  return baseName(first);
}

bool isPidName(const char* name) {
  if (!*name) return false;
  for (const char* c = name; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

SystemProcessKiller gSystemKiller;
std::atomic<ProcessKiller*> gKiller{&gSystemKiller};

}  // namespace

std::vector<pid_t> findProcessesByName(const std::string& executableName) {
  std::vector<pid_t> found;
  if (executableName.empty()) return found;
  DIR* proc = ::opendir("/proc");
  if (!proc) return found;
  const uid_t me = ::getuid();
  const pid_t self = ::getpid();
  while (dirent* entry = ::readdir(proc)) {
    if (!isPidName(entry->d_name)) continue;
    pid_t pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
    if (pid == self) continue;
    std::string dir = std::string("/proc/") + entry->d_name;
    struct stat info;
    if (::stat(dir.c_str(), &info) != 0 || info.st_uid != me) continue;
    if (executableNameOf(dir) == executableName) found.push_back(pid);
  }
  ::closedir(proc);
  return found;
}

int SystemProcessKiller::endByName(const std::string& executableName) {
  int count = 0;
  for (pid_t pid : findProcessesByName(executableName)) {
    if (::kill(pid, SIGKILL) == 0) ++count;
  }
  return count;
}

int RecordingProcessKiller::endByName(const std::string& executableName) {
  std::lock_guard lock(mutex_);
  names_.push_back(executableName);
  return 0;
}

std::vector<std::string> RecordingProcessKiller::names() const {
  std::lock_guard lock(mutex_);
  return names_;
}

ProcessKiller& processKiller() {
  return *gKiller.load();
}

ProcessKiller* installProcessKiller(ProcessKiller* killer) {
  ProcessKiller* previous = gKiller.exchange(killer ? killer : &gSystemKiller);
  return previous == &gSystemKiller ? nullptr : previous;
}

}  // namespace host
