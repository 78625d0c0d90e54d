#pragma once
// Outside programs started by the station. A program is started directly with its argument
// list (never through a shell, so no text in a path or setting can run as a command); its
// standard output and error arrive on one pipe that the station reads. Every child still
// running is known, so that the station can end its own children when it exits.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace host {

class ChildProcess {
 public:
  // Starts argv[0] with the arguments argv[1...]. A bare program name is looked for in the
  // helper folders first (host::findHelperFile), then on PATH. Standard input is /dev/null. Returns
  // null and explains in `error` (when given) if the program cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             std::string* error = nullptr);
  // The same, with the program leading a process group of its own: kill() then ends the
  // program and every process it started that stayed in its group, and so does
  // endOwnChildren(). For outside tools that may start helpers of their own.
  static std::unique_ptr<ChildProcess> startGroup(const std::vector<std::string>& argv,
                                                  std::string* error = nullptr);

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Ends the program if it still runs and collects it.
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // Reads output that arrives within `timeoutMs` (real milliseconds). Returns the byte count,
  // 0 at the end of the output, -1 when nothing arrived in time or a stop was requested
  // (see host::requestStop), -2 on a read error.
  long read(char* buffer, size_t size, int timeoutMs);

  // True while the program runs.
  bool running();
  // Waits for the program to end; returns its exit status, or 128 + signal number when a
  // signal ended it.
  int wait();
  // Ends the program (SIGKILL) if it still runs, with its group when it leads one; does not
  // wait.
  void kill();
  // Ends what is left of the program's group (helpers that outlived the program); call it
  // soon after the program ended. Nothing for a program started without a group of its own.
  void killGroup();

 private:
  ChildProcess(pid_t pid, int outputFd, bool ownGroup)
      : pid_(pid), outputFd_(outputFd), ownGroup_(ownGroup) {}
  static std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv,
                                             std::string* error, bool ownGroup);
  bool reap(bool block);

  pid_t pid_;
  int outputFd_;
  bool ownGroup_;
  bool groupEnded_ = false;
  bool reaped_ = false;
  int status_ = -1;
};

// The whole command line as one text, for logs: arguments separated by blanks, each argument
// that holds a blank or quote in double quotes.
std::string commandLineText(const std::vector<std::string>& argv);

// Ends every child program the station started that still runs. Never touches other processes.
void endOwnChildren();

// How many children the station started that have not been collected yet.
size_t ownChildCount();

}  // namespace host
