// zendral-tool fastboot run as a program against the test device.

#include <gtest/gtest.h>

#include <sstream>

#include "sim/fastboot_device/tcp_device.h"
#include "support/program_run.h"
#include "unit/fastboot/fastboot_test_support.h"

namespace {

using ToolRun = test_support::ProgramRun;

ToolRun runTool(std::vector<std::string> args) {
  args.insert(args.begin(), {ZENDRAL_TOOL_PATH, "fastboot"});
  return test_support::runProgram(args, {.environment = {{"ZENDRAL_TIME_SCALE", "0.01"}}});
}

// Lines of the tool's output without their date stamps ("yyyy-mm-dd hh:mm:ss: ").
std::vector<std::string> messages(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line.size() > 21 && line[4] == '-' && line[19] == ':' ? line.substr(21) : line);
  }
  return lines;
}

class FastbootTool : public ::testing::Test {
 protected:
  sim::TcpFastbootDevice device_;
};

TEST_F(FastbootTool, GetvarPrintsTheValue) {
  device_.model().setVariable("version-bootloader", "1.2");
  ToolRun run = runTool({"--device", device_.path(), "getvar", "version-bootloader"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1.2\n");
}

TEST_F(FastbootTool, FlashWithAPieceSizeCutsLikeTheStationAndKeepsEveryByte) {
  std::string image = fbtest::writeImage("boot.img", 38658048 + 5000, 9);
  ToolRun run =
      runTool({"--device", device_.path(), "--piece-size", "38658048", "flash", "boot", image});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(device_.model().partition("boot") == fbtest::readFile(image));
  EXPECT_EQ(device_.model().commands(),
            (std::vector<std::string>{"download:024de000", "flash:boot", "download:00001388",
                                      "flashC:boot"}));
  EXPECT_EQ(messages(run.out),
            (std::vector<std::string>{"sending 'boot' (37752 KB)", "writing 'boot'",
                                      "sending 'boot' (4 KB)", "writing 'boot'"}));
}

TEST_F(FastbootTool, RunsSeveralCommandsInOrder) {
  std::string image = fbtest::writeImage("sys.img", 1234);
  ToolRun run =
      runTool({"--device", device_.path(), "erase", "cache", "flash", "system", image, "reboot"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      device_.model().commands(),
      (std::vector<std::string>{"erase:cache", "download:000004d2", "flash:system", "reboot"}));
  EXPECT_EQ(device_.model().rebootCount(), 1);
  EXPECT_EQ(messages(run.out),
            (std::vector<std::string>{"erasing 'cache'", "sending 'system' (1 KB)",
                                      "writing 'system'", "rebooting"}));
}

TEST_F(FastbootTool, ARefusedCommandPrintsTheRemoteTextAndExits1) {
  sim::FastbootDeviceModel::Fault locked;
  locked.fail = "partition locked";
  device_.model().setFault("erase:modem", locked);
  ToolRun run = runTool({"--device", device_.path(), "erase", "modem", "reboot"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: remote: partition locked\n");
  EXPECT_EQ(device_.model().rebootCount(), 0);
}

TEST_F(FastbootTool, ALoaderTakingLessThanTheImageFailsAndNothingIsWritten) {
  std::string image = fbtest::writeImage("short.img", 4096);
  sim::FastbootDeviceModel::Fault partial;
  partial.dataSize = 0;
  device_.model().setFault("download:00001000", partial);
  ToolRun run = runTool({"--device", device_.path(), "flash", "boot", image});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: data size too small\n");
  EXPECT_EQ(device_.model().commands(), std::vector<std::string>{"download:00001000"});
  EXPECT_FALSE(device_.model().partition("boot"));
}

TEST_F(FastbootTool, AnUnreadableFileOrDeviceIsAnError) {
  ToolRun run = runTool({"--device", device_.path(), "flash", "boot", "missing.img"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: cannot load 'missing.img'\n");
  run = runTool({"--device", "tcp:127.0.0.1:1", "reboot"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("error: cannot open fastboot device 'tcp:127.0.0.1:1'", 0), 0u);
}

TEST_F(FastbootTool, DevicesListsNothingWithoutHardware) {
  ToolRun run = runTool({"devices"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(FastbootTool, BadUsageExits2) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{},
        {"getvar", "x"},
        {"--device", device_.path()},
        {"--device", device_.path(), "flash", "boot"},
        {"--device", device_.path(), "dance"},
        {"--device", device_.path(), "--piece-size", "0", "reboot"}}) {
    EXPECT_EQ(runTool(args).status, 2);
  }
  EXPECT_TRUE(device_.model().commands().empty());
}

}  // namespace
