#include "chipsets/tool_process.h"

#include <algorithm>
#include <memory>

#include "host/child_process.h"
#include "host/clock.h"

namespace {

// Reads wait at most this long, so that the limits are looked at often.
constexpr int64_t kReadSliceMs = 100;

using Chunks = std::function<ToolVerdict(const std::string&)>;

// Ends the tool and its group and collects it.
void endTool(host::ChildProcess& tool) {
  tool.kill();
  tool.wait();
  tool.killGroup();
}

// After the verdict: the rest of the output still goes to `onChunk` until the tool ends by
// itself or `finishMs` pass; then what is left of its group is ended.
void letToolFinish(host::ChildProcess& tool, int64_t finishMs, const Chunks& onChunk) {
  const uint64_t deadline = host::tickMs() + static_cast<uint64_t>(std::max<int64_t>(finishMs, 0));
  char buffer[ToolOutputBuffer::kChunkSize];
  for (uint64_t now = host::tickMs(); now < deadline && !host::stopRequested();
       now = host::tickMs()) {
    const int slice = static_cast<int>(std::min<uint64_t>(deadline - now, kReadSliceMs));
    const long count = tool.read(buffer, sizeof buffer, slice);
    if (count > 0) onChunk(std::string(buffer, static_cast<size_t>(count)));
    if (count == 0 || count == -2) break;
  }
  endTool(tool);
}

}  // namespace

ToolRunResult runTool(const std::vector<std::string>& argv, const ToolBounds& bounds,
                      const Chunks& onChunk) {
  ToolRunResult result;
  std::unique_ptr<host::ChildProcess> tool = host::ChildProcess::startGroup(argv, &result.error);
  if (!tool) return result;
  const uint64_t start = host::tickMs();
  const uint64_t limit = static_cast<uint64_t>(std::max<int64_t>(bounds.limitMs, 0));
  char buffer[ToolOutputBuffer::kChunkSize];
  for (;;) {
    if (host::stopRequested()) {
      result.end = ToolEnd::Stopped;
      break;
    }
    const uint64_t elapsed = host::tickMs() - start;
    if (elapsed > limit) {
      result.end = ToolEnd::TimedOut;
      break;
    }
    const int slice = static_cast<int>(std::min<uint64_t>(limit - elapsed + 1, kReadSliceMs));
    const long count = tool->read(buffer, sizeof buffer, slice);
    if (count == 0 || count == -2) {
      // The output ended (or cannot be read) before any verdict: nothing more will come.
      result.end = ToolEnd::Ended;
      letToolFinish(*tool, bounds.finishMs, onChunk);
      return result;
    }
    if (count < 0) continue;
    result.verdict = onChunk(std::string(buffer, static_cast<size_t>(count)));
    if (result.verdict != ToolVerdict::None) {
      result.end = ToolEnd::Verdict;
      letToolFinish(*tool, bounds.finishMs, onChunk);
      return result;
    }
  }
  endTool(*tool);
  return result;
}
