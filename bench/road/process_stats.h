#pragma once
// What a running process holds, read from /proc: open descriptors, threads, child processes,
// resident memory and the CPU time it has used.

#include <sys/types.h>

#include <cstdint>

namespace road {

struct ProcessStats {
  int descriptors = -1;
  int threads = -1;
  int children = -1;  // processes whose parent it is, running or not yet collected
  int64_t rssKiB = -1;
  double cpuSeconds = -1.0;  // user + system
};

// False when the process cannot be read (it has ended).
bool readProcessStats(pid_t pid, ProcessStats& stats);

// The user + system CPU seconds of the process; negative when it cannot be read.
double processCpuSeconds(pid_t pid);

// The seconds its threads that run now have spent ready to run but waiting for a CPU (the
// scheduler's run-queue delay); negative when it cannot be read. Threads that have ended do
// not count.
double processRunDelaySeconds(pid_t pid);

}  // namespace road
