#pragma once
// Shared ground for the slot tests: a scripted device directory, a fake platform table whose
// operations record which worker ran with which request, fake AT services, a surface that
// records what the DUT row showed, and the station's worker pool. Fixed waits are scaled down
// to almost nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/device_directory.h"
#include "host/operator_surface.h"
#include "platform/platform.h"
#include "platform/slot_record.h"
#include "support/temporary_folder.h"

namespace slotstest {

// One call of a platform operation: "cp", "ap" or "tp", with its request.
struct OperationCall {
  std::string operation;
  DownloadRequest request;
};

// The fake platform table. Results are taken from the queues in order (0 once empty); a hook
// may run inside the operation (on the worker thread) to act as the module would.
struct FakePlatform {
  static void reset();
  static std::vector<OperationCall> calls();
  static std::vector<std::string> operations();

  static inline std::mutex mutex;
  static inline std::vector<OperationCall> recorded;
  static inline std::deque<int> cpResults, apResults, tpResults;
  static inline std::function<void(const std::string&, const DownloadRequest&)> hook;
};
const PlatformOps* fakePlatformRows(PlatformType type);

// The fake AT services: commands are recorded; answers come from the fields.
struct FakeAt {
  static void reset();
  static std::vector<std::string> commands();

  static inline std::mutex mutex;
  static inline std::vector<std::string> recorded;  // "AT+CFUN=1\r", "backupEfs2 4", "checkEfs2"
  static inline int setAtCmdResult = 1;
  static inline std::deque<int> backupResults, checkResults;  // 1 once empty
  static inline int checkIf9011Result = 1;
  static inline int is9011 = 0;
};

// Remembers every change of the DUT row, in order; answers file choosers from a queue.
class RecordingSurface : public host::OperatorSurface {
 public:
  void setDutMessage(int dut, const std::string& text) override;
  void setDutProgress(int dut, double percent, const std::string& caption) override;
  void setDutStatus(int dut, int status, host::Rgb, bool, host::Rgb) override;
  void messageBox(const std::string& title, const std::string& text) override;
  void setDutTime(int dut, const std::string& text) override;
  void setDutPorts(int dut, const std::vector<std::string>& items) override;
  std::optional<std::string> chooseFile(const host::FileChooserRequest& request) override;

  // Events as "message TEXT", "status N", "progress P", "time T", "ports COM12",
  // "chooser TITLE|PATTERN|DIR".
  std::vector<std::string> events();
  std::vector<std::string> messages();
  std::vector<int> statuses();
  bool hasMessage(const std::string& text);
  void clear();
  void answerChooser(std::optional<std::string> answer);
  // Called on the reporting thread with each DUT message, after it is recorded.
  std::function<void(const std::string&)> onMessage;

 private:
  void record(std::string event);
  std::mutex mutex_;
  std::vector<std::string> events_;
  std::deque<std::optional<std::string>> answers_;
};

class SlotsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the platform table of `type` the current one.
  void usePlatform(PlatformType type);

  // Adds a serial port to the directory without a notification and runs the port scan as an
  // arrival does; waits for every worker this started. Returns the scan's result.
  int arrive(const std::string& friendlyName, const std::string& tty = "");
  // Notified arrival / removal through the subscription Start makes.
  void plug(const std::string& friendlyName, const std::string& tty = "");
  void unplug(const std::string& tty);
  // Waits until the slot's latest worker, and any it scheduled, has finished.
  void settle();

  SlotState state() const { return static_cast<SlotState>(gThreadData[0].state); }
  ThreadData& slot() const { return gThreadData[0]; }

  host::ScriptedDeviceDirectory directory_;
  RecordingSurface surface_;
  std::filesystem::path dir_;

 private:
  std::optional<test_support::WorkingFolder> folder_;
  PlatformRowSource previousRows_ = nullptr;
};

// Friendly names as the station's modules show them.
std::string diagName(int com);
std::string atName(int com);
std::string tty(int com);
inline const std::string kFastbootPath =
    "\\\\?\\usb#vid_18d1&pid_d00d#1-1.4#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";

}  // namespace slotstest
