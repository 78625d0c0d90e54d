#pragma once
// Runs one of the built programs to its end, the way an operator or a script would, and keeps
// what it printed. The program is started directly (no shell) with its own standard input,
// output and error; a program that has not ended after a generous limit is killed, so a hang
// fails the test instead of stopping the suite.

#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct ProgramOptions {
  std::string workingDirectory{};  // empty: this process's
  std::string input{};             // standard input, then its end
  bool mergeErrors = false;        // standard error goes into `out` as well, in order
  std::vector<std::pair<std::string, std::string>> environment{};  // for the program only
  int limitSeconds = 120;  // a guard against hangs, not a measure of speed
};

struct ProgramRun {
  // The exit status; 128 + the signal number when a signal ended the program; -1 when it
  // could not be started (`err` says why) or was killed at the limit.
  int status = -1;
  std::string out;
  std::string err;
};

// Runs argv[0] (a path) with the arguments argv[1...].
ProgramRun runProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// The path of a program or library build in the build's bin folder (ZENDRAL_BIN_DIR, which a
// test that uses it defines).
#ifdef ZENDRAL_BIN_DIR
inline std::string binPath(const std::string& name) {
  return std::string(ZENDRAL_BIN_DIR) + "/" + name;
}
#endif

}  // namespace test_support
