#include "support/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "support/temporary_folder.h"

extern char** environ;

namespace test_support {
namespace {

// This process's environment with `overrides` put in place.
std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    bool overridden = false;
    for (const auto& [name, value] : overrides) {
      overridden = overridden || text.rfind(name + "=", 0) == 0;
    }
    if (!overridden) entries.push_back(text);
  }
  for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Waits for `pid` to end within `limitSeconds`; kills it after that. Returns the exit status,
// 128 + signal, or -1 when it had to be killed.
int waitWithin(pid_t pid, int limitSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

ProgramRun runProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
  ProgramRun run;
  if (argv.empty()) {
    run.err = "no program to run";
    return run;
  }
  // The program's input and output go through files: no pipe can fill up and stall it.
  TemporaryFolder capture("zendral-run");
  capture.write("in", options.input);
  const std::string in = capture.file("in").string();
  const std::string out = capture.file("out").string();
  const std::string err = capture.file("err").string();

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (options.mergeErrors) {
    posix_spawn_file_actions_adddup2(&files, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&files, options.workingDirectory.c_str());
  }
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = environmentWith(options.environment);
  std::vector<char*> argvPointers = pointersTo(arguments);
  std::vector<char*> envPointers = pointersTo(environment);
  pid_t pid = 0;
  const int started = ::posix_spawn(&pid, argvPointers[0], &files, nullptr, argvPointers.data(),
                                    envPointers.data());
  posix_spawn_file_actions_destroy(&files);
  if (started != 0) {
    run.err = "cannot start " + argv[0] + ": " + std::strerror(started);
    return run;
  }
  run.status = waitWithin(pid, options.limitSeconds);
  run.out = capture.read("out");
  run.err = capture.read("err");
  if (run.status == -1) run.err += "\n(killed: still running after the limit)";
  return run;
}

}  // namespace test_support
