#include "chipsets/tool_runner.h"

#include <cstdio>

#include "chipsets/tool_command.h"
#include "chipsets/tool_output.h"
#include "chipsets/tool_paths.h"
#include "chipsets/tool_process.h"
#include "host/clock.h"
#include "host/process_killer.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/slot_record.h"
#include "platform/text_format.h"

std::atomic<int> bSdx55{0};

namespace {

constexpr int64_t kSaharaLimitMs = 95000;
constexpr int64_t kFirehoseLimitMs = 120000;
constexpr int64_t kSdx55FirehoseLimitMs = 600000;
// How long a tool may take to end by itself after its verdict (scaled), and at least.
constexpr int64_t kFinishMs = 10000;
constexpr int64_t kFinishFloorMs = 1000;

constexpr char kTimeoutText[] = "download %s timeout!,Please repower %d DUT.";

int emergencyPortOf(int dut) {
  return dut >= 1 && dut <= kSlotCount ? loadField(gThreadData[dut - 1].ql9008port) : 0;
}

ToolBounds boundsOf(int64_t limitMs) {
  return {host::scaledMs(limitMs), std::max(host::scaledMs(kFinishMs), kFinishFloorMs)};
}

// The file must be in its folder under exactly its name; says so when it is not.
bool splitExisting(int dut, const std::string& path, std::string& directory, std::string& name) {
  if (!SegmentationPath(path, &directory, &name)) return false;
  if (IsFileExist(directory + "/*", name) == 0) return true;
  updateMesage(dut, formatText("%s not exist!.", path.c_str()));
  return false;
}

// Runs the tool with its command line and every chunk of its output in the DUT's log.
ToolRunResult runLogged(int dut, const ToolCommand& command, int64_t limitMs,
                        const std::function<ToolVerdict(const std::string&)>& reader) {
  saveDutLog(dut, command.text);
  bool decided = false;
  ToolRunResult result = runTool(command.argv, boundsOf(limitMs), [&](const std::string& chunk) {
    saveDutLog(dut, chunk);
    if (decided) return ToolVerdict::None;
    const ToolVerdict verdict = reader(chunk);
    decided = verdict != ToolVerdict::None;
    return verdict;
  });
  const std::string tool = command.argv.front().substr(command.argv.front().rfind('/') + 1);
  if (result.end == ToolEnd::NotStarted) {
    updateMesage(dut, formatText("Cannot start %s: %s, Please repower %d DUT.", tool.c_str(),
                                 result.error.c_str(), dut));
  } else if (result.end == ToolEnd::Ended) {
    updateMesage(
        dut, formatText("%s ended without a result, Please repower %d DUT.", tool.c_str(), dut));
  }
  return result;
}

bool succeeded(const ToolRunResult& result) {
  return result.end == ToolEnd::Verdict && result.verdict == ToolVerdict::Success;
}

}  // namespace

int SaharaFirehoseProgramer(const DownloadRequest& request, const std::string& programmer) {
  const int dut = request.slot;
  std::string directory, name;
  if (!splitExisting(dut, programmer, directory, name)) return -1;
  SaharaOutputReader reader;
  const ToolRunResult result =
      runLogged(dut, saharaCommand(emergencyPortOf(dut), programmer), kSaharaLimitMs,
                [&](const std::string& chunk) { return reader.add(chunk); });
  if (result.end == ToolEnd::TimedOut)
    updateMesage(dut, formatText(kTimeoutText, name.c_str(), dut));
  return succeeded(result) ? 0 : -1;
}

int fhDownloadXmlPackage(const DownloadRequest& request, const std::string& rawprogram,
                         const std::string& patch) {
  const int dut = request.slot;
  const int64_t limitMs = bSdx55 ? kSdx55FirehoseLimitMs : kFirehoseLimitMs;
  std::string rawDirectory, rawName, patchDirectory, patchName;
  if (!splitExisting(dut, rawprogram, rawDirectory, rawName)) return -1;
  if (!SegmentationPath(patch, &patchDirectory, &patchName)) return -1;
  const bool reset = gBackupRestoreQcn;
  FirehoseOutputReader reader;
  std::string finalMessage;
  const ToolRunResult result = runLogged(
      dut, firehoseCommand(emergencyPortOf(dut), rawName, patchName, patchDirectory, reset),
      limitMs, [&](const std::string& chunk) {
        const FirehoseNews news = reader.add(chunk);
        for (const std::string& file : news.files) ShowMesage(dut, file);
        if (news.fraction) updateProgressBar(dut, *news.fraction);
        if (news.verdict == ToolVerdict::Success) {
          finalMessage = reset ? "DownloadXmlPackage success!" : "Update success!";
        } else if (news.verdict == ToolVerdict::Failure) {
          finalMessage = news.errorText;
        }
        return news.verdict;
      });
  if (result.end == ToolEnd::TimedOut)
    finalMessage = formatText(kTimeoutText, rawName.c_str(), dut);
  if (!finalMessage.empty()) updateMesage(dut, finalMessage);
  return succeeded(result) ? 0 : -1;
}

void endLeftoverFirehoseTools() {
  std::fprintf(stderr, "cmd.exe /C taskkill /f /im fh_loader.exe\n");
  host::processKiller().endByName("fh_loader.exe");
}
