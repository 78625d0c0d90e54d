#include "host/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "host/clock.h"
#include "host/process_killer.h"
#include "support/process_state.h"

namespace {

using test_support::groupRuns;
using test_support::processEnded;

using host::ChildProcess;

std::string readAll(ChildProcess& child) {
  std::string output;
  char buffer[256];
  while (true) {
    long count = child.read(buffer, sizeof buffer, 10'000);
    if (count <= 0) break;
    output.append(buffer, static_cast<size_t>(count));
  }
  return output;
}

TEST(ChildProcessTest, OutputAndErrorArriveOnOnePipe) {
  auto child = ChildProcess::start({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"});
  ASSERT_TRUE(child);
  std::string output = readAll(*child);
  EXPECT_NE(output.find("out\n"), std::string::npos);
  EXPECT_NE(output.find("err\n"), std::string::npos);
  EXPECT_EQ(child->wait(), 3);
}

TEST(ChildProcessTest, ArgumentsAreNeverRunAsCommands) {
  auto dir = std::filesystem::temp_directory_path() / ("zendral-spawn-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string marker = (dir / "ran").string();
  std::string hostile = "x\"; touch " + marker + "; $(touch " + marker + ") `touch " + marker + "`";
  auto child = ChildProcess::start({"echo", hostile});
  ASSERT_TRUE(child);
  EXPECT_EQ(readAll(*child), hostile + "\n");
  EXPECT_EQ(child->wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(marker));
  std::filesystem::remove_all(dir);
}

TEST(ChildProcessTest, AMissingProgramIsAClearError) {
  std::string error;
  EXPECT_FALSE(ChildProcess::start({"zendral-no-such-tool.exe"}, &error));
  EXPECT_NE(error.find("zendral-no-such-tool.exe"), std::string::npos);
  EXPECT_FALSE(ChildProcess::start({}, &error));
}

TEST(ChildProcessTest, ReadingEndsOnAStopRequest) {
  auto child = ChildProcess::start({"sleep", "60"});
  ASSERT_TRUE(child);
  host::clearStop();
  std::thread stopper([] { host::requestStop(); });
  char buffer[16];
  // Nothing arrives for a minute; the stop ends the read long before.
  EXPECT_EQ(child->read(buffer, sizeof buffer, 60'000), -1);
  stopper.join();
  host::clearStop();
}

TEST(ChildProcessTest, EndOwnChildrenEndsOnlyTheStationsChildren) {
  size_t before = host::ownChildCount();
  auto child = ChildProcess::start({"sleep", "60"});
  ASSERT_TRUE(child);
  EXPECT_EQ(host::ownChildCount(), before + 1);
  host::endOwnChildren();
  EXPECT_EQ(child->wait(), 128 + 9);
  EXPECT_EQ(host::ownChildCount(), before);
}

TEST(ChildProcessTest, DestroyingARunningChildEndsAndCollectsIt) {
  pid_t pid;
  {
    auto child = ChildProcess::start({"sleep", "60"});
    ASSERT_TRUE(child);
    pid = child->pid();
  }
  EXPECT_NE(::kill(pid, 0), 0) << "no zombie or runaway left";
}

// A program that starts a helper in its own group: the helper's pid is its first line.
std::unique_ptr<ChildProcess> startWithHelper(std::string& helperLine) {
  auto child = ChildProcess::startGroup({"/bin/sh", "-c", "sleep 60 & echo $!; wait"});
  if (!child) return nullptr;
  char buffer[64] = {};
  while (helperLine.find('\n') == std::string::npos) {
    const long count = child->read(buffer, sizeof buffer, 10'000);
    if (count <= 0) return nullptr;
    helperLine.append(buffer, static_cast<size_t>(count));
  }
  return child;
}

TEST(ChildProcessTest, AGroupLeaderIsEndedWithTheHelpersItStarted) {
  std::string line;
  auto child = startWithHelper(line);
  ASSERT_TRUE(child);
  const pid_t helper = static_cast<pid_t>(std::stol(line));
  child->kill();
  EXPECT_EQ(child->wait(), 128 + 9);
  for (int i = 0; i < 500 && !processEnded(helper); ++i) host::sleepMs(10);
  EXPECT_TRUE(processEnded(helper)) << "the helper outlived its program";
}

TEST(ChildProcessTest, HelpersThatOutliveTheirProgramEndWithTheGroup) {
  auto child = ChildProcess::startGroup({"/bin/sh", "-c", "(sleep 60 &) ; echo started"});
  ASSERT_TRUE(child);
  char buffer[64];
  ASSERT_GT(child->read(buffer, sizeof buffer, 10'000), 0);
  EXPECT_EQ(child->wait(), 0);
  const pid_t group = child->pid();
  EXPECT_TRUE(groupRuns(group)) << "the helper should still run before the group is ended";
  child->killGroup();
  for (int i = 0; i < 500 && groupRuns(group); ++i) host::sleepMs(10);
  EXPECT_FALSE(groupRuns(group)) << "a helper of the ended group still runs";
}

TEST(ProcessKillerTest, FindsOwnProcessesByExactExecutableName) {
  auto child = ChildProcess::start({"sleep", "60"});
  ASSERT_TRUE(child);
  // The child's executable is the real file behind "sleep"; search by that file's name.
  std::string name = std::filesystem::read_symlink("/proc/" + std::to_string(child->pid()) + "/exe")
                         .filename()
                         .string();
  auto found = host::findProcessesByName(name);
  EXPECT_NE(std::find(found.begin(), found.end(), child->pid()), found.end());
  auto partial = host::findProcessesByName(name.substr(0, name.size() - 1));
  EXPECT_EQ(std::find(partial.begin(), partial.end(), child->pid()), partial.end())
      << "a name matches only in full";
  auto self = host::findProcessesByName(
      std::filesystem::read_symlink("/proc/self/exe").filename().string());
  EXPECT_EQ(std::find(self.begin(), self.end(), getpid()), self.end()) << "never the caller";
  EXPECT_TRUE(host::findProcessesByName("").empty());
}

TEST(ProcessKillerTest, RecordingKillerEndsNothing) {
  host::RecordingProcessKiller recorder;
  host::installProcessKiller(&recorder);
  auto child = ChildProcess::start({"sleep", "60"});
  ASSERT_TRUE(child);
  EXPECT_EQ(host::processKiller().endByName("sleep"), 0);
  EXPECT_EQ(host::processKiller().endByName("QPSTServer.exe"), 0);
  EXPECT_EQ(recorder.names(), (std::vector<std::string>{"sleep", "QPSTServer.exe"}));
  EXPECT_TRUE(child->running());
  EXPECT_EQ(host::installProcessKiller(nullptr), &recorder);
}

}  // namespace
