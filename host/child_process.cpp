#include "host/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "host/clock.h"
#include "host/executable_path.h"

extern char** environ;

namespace host {
namespace {

std::mutex gChildrenMutex;
std::set<pid_t> gChildren;
// The children that lead a process group of their own (a subset of gChildren).
std::set<pid_t> gGroupLeaders;

void forgetChild(pid_t pid) {
  std::lock_guard lock(gChildrenMutex);
  gChildren.erase(pid);
  gGroupLeaders.erase(pid);
}

// Polls in short slices so that a stop request ends the wait promptly.
constexpr int kPollSliceMs = 20;

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  std::string* error) {
  return spawn(argv, error, false);
}

std::unique_ptr<ChildProcess> ChildProcess::startGroup(const std::vector<std::string>& argv,
                                                       std::string* error) {
  return spawn(argv, error, true);
}

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& argv,
                                                  std::string* error, bool ownGroup) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<ChildProcess> {
    if (error) *error = why;
    return nullptr;
  };
  if (argv.empty() || argv[0].empty()) return fail("no program given");

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return fail(std::string("pipe: ") + std::strerror(errno));

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (ownGroup) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }

  std::string program = findHelperFile(argv[0]);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = 0;
  int rc;
  {
    // Registered under the lock so that endOwnChildren never misses a child being born.
    std::lock_guard lock(gChildrenMutex);
    rc = program.find('/') != std::string::npos
             ? posix_spawn(&pid, program.c_str(), &actions, &attributes, args.data(), environ)
             : posix_spawnp(&pid, program.c_str(), &actions, &attributes, args.data(), environ);
    if (rc == 0) gChildren.insert(pid);
    if (rc == 0 && ownGroup) gGroupLeaders.insert(pid);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return fail("cannot start " + argv[0] + ": " + std::strerror(rc));
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pipeFds[0], ownGroup));
}

ChildProcess::~ChildProcess() {
  if (!reap(false)) {
    kill();
    reap(true);
  }
  killGroup();
  ::close(outputFd_);
}

long ChildProcess::read(char* buffer, size_t size, int timeoutMs) {
  uint64_t deadline = tickMs() + static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs);
  while (true) {
    if (stopRequested()) return -1;
    uint64_t now = tickMs();
    int slice =
        now >= deadline ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, kPollSliceMs));
    pollfd entry{outputFd_, POLLIN, 0};
    int ready = ::poll(&entry, 1, slice);
    if (ready < 0 && errno != EINTR) return -2;
    if (ready > 0) {
      ssize_t count = ::read(outputFd_, buffer, size);
      if (count < 0) return errno == EINTR ? -1 : -2;
      return static_cast<long>(count);
    }
    if (tickMs() >= deadline) return -1;
  }
}

bool ChildProcess::running() {
  return !reap(false);
}

int ChildProcess::wait() {
  reap(true);
  return status_;
}

void ChildProcess::kill() {
  if (reaped_) return;
  // While the leader is not collected its pid cannot name another group.
  ::kill(ownGroup_ ? -pid_ : pid_, SIGKILL);
}

void ChildProcess::killGroup() {
  if (!ownGroup_ || groupEnded_) return;
  // While any member lives the group id cannot be taken by a new process. Once the leader is
  // collected the group is ended only once, so that an id freed since is never signalled.
  ::kill(-pid_, SIGKILL);
  groupEnded_ = reaped_;
}

bool ChildProcess::reap(bool block) {
  if (reaped_) return true;
  int raw = 0;
  pid_t done;
  do {
    done = ::waitpid(pid_, &raw, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return false;
  reaped_ = true;
  if (done < 0) {
    status_ = -1;
  } else if (WIFEXITED(raw)) {
    status_ = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    status_ = 128 + WTERMSIG(raw);
  }
  forgetChild(pid_);
  return true;
}

std::string commandLineText(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) {
    if (!text.empty()) text += ' ';
    bool quote = arg.empty() || arg.find_first_of(" \t\"'") != std::string::npos;
    text += quote ? "\"" + arg + "\"" : arg;
  }
  return text;
}

void endOwnChildren() {
  std::lock_guard lock(gChildrenMutex);
  for (pid_t pid : gChildren) ::kill(gGroupLeaders.count(pid) ? -pid : pid, SIGKILL);
}

size_t ownChildCount() {
  std::lock_guard lock(gChildrenMutex);
  return gChildren.size();
}

}  // namespace host
