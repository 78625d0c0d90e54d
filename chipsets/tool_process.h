#pragma once
// One run of an outside tool: started directly (never through a command interpreter) as the
// leader of a process group of its own, its output read in chunks as it comes and handed to
// a reader that decides the run's verdict. The run is bounded: past the time limit, or on a
// stop of the slot, the tool and every helper it started are ended at once. After a verdict
// the tool may end by itself for a short while (a tool still resetting the module is not cut),
// then whatever is left of its group is ended. No process of a run outlives it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chipsets/tool_output.h"

enum class ToolEnd {
  Verdict,     // the reader decided; see `verdict`
  TimedOut,    // no verdict within the time limit
  Stopped,     // the slot was stopped
  NotStarted,  // the tool could not be started; see `error`
  Ended,       // the tool's output ended without a verdict
};

struct ToolRunResult {
  ToolEnd end = ToolEnd::NotStarted;
  ToolVerdict verdict = ToolVerdict::None;
  std::string error;
};

struct ToolBounds {
  int64_t limitMs;   // real milliseconds from the start to a verdict
  int64_t finishMs;  // real milliseconds the tool may take to end after its verdict
};

// Hands every chunk of output to `onChunk` (also those after the verdict, whose answers are
// then ignored) and returns how the run ended.
ToolRunResult runTool(const std::vector<std::string>& argv, const ToolBounds& bounds,
                      const std::function<ToolVerdict(const std::string& chunk)>& onChunk);
