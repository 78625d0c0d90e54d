// Running the queue against the test device: progress, messages, the handlers and their
// texts, stopping at the first failure, and flash_all's opening rules.

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "fastboot/action_queue.h"
#include "fastboot/backends.h"
#include "fastboot/executor.h"
#include "fastboot/flash_sequences.h"
#include "fastboot/protocol.h"
#include "fastboot_test_support.h"
#include "host/clock.h"
#include "sim/fastboot_device/tcp_device.h"

namespace {

using Fault = sim::FastbootDeviceModel::Fault;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class ExecutorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue_action_clear();
    fb_set_flash_piece_limit(0);
    device_.model().setVariable("product", "abc");
  }
  void TearDown() override { queue_action_clear(); }

  int run(uint64_t total, double start) {
    fb_transport* t = usb_open_by_name(device_.path(), match_fastboot);
    EXPECT_NE(t, nullptr);
    int result = fb_execute_queue(1, t, total, start);
    usb_close(t);
    return result;
  }
  Fault failWith(const std::string& text) {
    Fault f;
    f.fail = text;
    return f;
  }

  sim::TcpFastbootDevice device_;
  fbtest::RecordingSurface surface_;
  std::string image_ = std::string(800, 'i');
};

TEST_F(ExecutorTest, ProgressIsClampedAndTheBarEndsFull) {
  fb_queue_flash("boot", image_.data(), 800);
  EXPECT_EQ(run(1000, 0.5), 0);
  EXPECT_EQ(surface_.progress(), (std::vector<double>{100, 100, 100}));
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"sending 'boot' (0 KB)", "writing 'boot'"}));
  EXPECT_EQ(device_.model().partition("boot"), std::vector<uint8_t>(800, 'i'));
}

TEST_F(ExecutorTest, ProgressCountsDownloadedBytesOnly) {
  fb_queue_flash("boot", image_.data(), 800);
  fb_queue_flash("system", image_.data(), 800);
  fb_queue_reboot();
  EXPECT_EQ(run(3200, 0), 0);
  EXPECT_EQ(surface_.progress(), (std::vector<double>{25, 25, 50, 50, 50, 100}));
  EXPECT_EQ(device_.model().rebootCount(), 1);
}

TEST_F(ExecutorTest, WithoutATotalTheBarOnlyFillsAtTheEnd) {
  fb_queue_flash("boot", image_.data(), 800);
  EXPECT_EQ(run(0, 0.25), 0);
  EXPECT_EQ(surface_.progress(), (std::vector<double>{25, 25, 100}));
}

TEST_F(ExecutorTest, AFailingStepStopsTheRunAndKeepsTheErrorOutOfTheLog) {
  device_.model().setFault("flash:boot", failWith("partition locked"));
  fb_queue_flash("boot", image_.data(), 800);
  fb_queue_flash("system", image_.data(), 800);
  fb_queue_reboot();
  EXPECT_EQ(run(1600, 0), -1);
  EXPECT_EQ(device_.model().commands(),
            (std::vector<std::string>{"download:00000320", "flash:boot"}));
  EXPECT_EQ(surface_.progress(), (std::vector<double>{50, 100}));
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"sending 'boot' (0 KB)", "writing 'boot'"}));
  EXPECT_STREQ(fb_get_error(), "remote: partition locked");
}

TEST_F(ExecutorTest, AFailedRebootDoesNotFailTheRun) {
  device_.model().setFault("reboot", failWith("no"));
  fb_queue_reboot();
  EXPECT_EQ(run(1, 0), 0);
}

TEST_F(ExecutorTest, AQueueWithOnlyANoticeHasNothingToDo) {
  fb_queue_notice("just saying");
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(surface_.messages(), std::vector<std::string>{"just saying"});
  EXPECT_TRUE(device_.model().commands().empty());
}

TEST_F(ExecutorTest, AnEmptyQueueFailsAndStillFillsTheBar) {
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(surface_.progress(), std::vector<double>{100});
}

TEST_F(ExecutorTest, ARunLeavesTheQueueAsItWasForTheNextDut) {
  fb_queue_erase("cache");
  EXPECT_EQ(run(1, 0), 0);
  EXPECT_EQ(fb_queue_head()->start, -1.0) << "when a step ran belongs to its DUT's run";
  EXPECT_EQ(run(1, 0), 0);
}

TEST_F(ExecutorTest, RequireAcceptsAPrefixValueAndShowsTheReplyTwice) {
  const char* values[] = {"a*"};
  fb_queue_require("product", 0, 1, values);
  CaptureStderr();
  EXPECT_EQ(run(1, 0), 0);
  std::string err = GetCapturedStderr();
  EXPECT_EQ(err.rfind("OKAY [", 0), 0u) << err;
  EXPECT_EQ(err.back(), '\n');
  EXPECT_EQ(surface_.messages(), (std::vector<std::string>{"checking product", "abc", "abc"}));
}

TEST_F(ExecutorTest, RejectRefusesAMatchingValueAndExplains) {
  const char* values[] = {"a*", "z"};
  fb_queue_require("product", 1, 2, values);
  fb_queue_reboot();
  CaptureStderr();
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(GetCapturedStderr(),
            "FAILED\n\nDevice product is 'abc'.\nUpdate rejects 'a*' or 'z'.\n\n");
  EXPECT_EQ(device_.model().rebootCount(), 0);
}

TEST_F(ExecutorTest, ALoneAsteriskMustEqualTheReply) {
  const char* values[] = {"*"};
  fb_queue_require("product", 0, 1, values);
  CaptureStderr();
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(GetCapturedStderr(), "FAILED\n\nDevice product is 'abc'.\nUpdate requires '*'.\n\n");
  device_.model().setVariable("product", "*");
  CaptureStderr();
  EXPECT_EQ(run(1, 0), 0);
  GetCapturedStderr();
}

TEST_F(ExecutorTest, AFailedQueryPrintsTheProtocolError) {
  const char* values[] = {"x"};
  fb_queue_require("missing", 0, 1, values);
  CaptureStderr();
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(GetCapturedStderr(), "FAILED (remote: unknown variable)\n");
}

TEST_F(ExecutorTest, DisplayPrintsTheLabelledValueOrTheFailure) {
  fb_queue_display("product", "Product");
  CaptureStderr();
  EXPECT_EQ(run(1, 0), 0);
  EXPECT_EQ(GetCapturedStderr(), "Product: abc\n");
  queue_action_clear();
  fb_queue_display("nothing", "Nothing");
  CaptureStderr();
  EXPECT_EQ(run(1, 0), -1);
  EXPECT_EQ(GetCapturedStderr(), "getvar:nothing FAILED (remote: unknown variable)\n");
}

TEST_F(ExecutorTest, TheQueueIsNotConsumedByARun) {
  fb_queue_flash("boot", image_.data(), 800);
  EXPECT_EQ(run(800, 0), 0);
  EXPECT_EQ(run(800, 0), 0);
  EXPECT_EQ(device_.model().commands().size(), 4u);
}

// --- flash_all ------------------------------------------------------------------------------

TEST_F(ExecutorTest, FlashAllOpensRunsAndCloses) {
  fb_queue_flash("boot", image_.data(), 800);
  fb_queue_reboot();
  EXPECT_EQ(flash_all(1, device_.path(), 800, 0), 0);
  EXPECT_EQ(device_.model().rebootCount(), 1);
  EXPECT_EQ(device_.connectionCount(), 1);
}

TEST_F(ExecutorTest, FlashAllGivesUpOnADeviceThatNeverAppears) {
  fb_queue_reboot();
  // Nothing listens on port 1; the wait is bounded (and scaled down for tests).
  EXPECT_EQ(flash_all(1, "tcp:127.0.0.1:1", 1, 0), -1);
  EXPECT_EQ(surface_.messages(),
            std::vector<std::string>{"Fastboot device not found,Please repower 1 DUT."});
}

TEST_F(ExecutorTest, FlashAllEndsAtOnceWhenTheStationStops) {
  fb_queue_reboot();
  host::requestStop();
  int result = flash_all(2, "tcp:127.0.0.1:1", 1, 0);
  host::clearStop();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(surface_.messages(),
            std::vector<std::string>{"Fastboot device not found,Please repower 2 DUT."});
}

// A backend whose opens fail with the given errors, in turn, before one succeeds.
class RefusingBackend {
 public:
  explicit RefusingBackend(std::vector<int> errors) : errors_(std::move(errors)) {
    fastboot::registerBackend({"refusing:", nullptr, [this](const std::string&, int& error) {
                                 ++opens_;
                                 std::unique_ptr<fastboot::UsbLink> link;
                                 if (opens_ <= errors_.size()) {
                                   error = errors_[opens_ - 1];
                                 } else {
                                   link = std::make_unique<fbtest::ScriptedLink>(script_);
                                 }
                                 return link;
                               }});
    script_->reads = {{4, 0, "OKAY"}};
  }
  ~RefusingBackend() { fastboot::unregisterBackend("refusing:"); }
  size_t opens() const { return opens_; }

 private:
  std::vector<int> errors_;
  size_t opens_ = 0;
  std::shared_ptr<fbtest::LinkScript> script_ = fbtest::fastbootInterfaceScript();
};

TEST_F(ExecutorTest, FlashAllStopsAtOnceWhenTheDeviceMayNotBeOpened) {
  RefusingBackend backend({EACCES, EACCES});
  fb_queue_reboot();
  EXPECT_EQ(flash_all(1, "refusing:1-4", 1, 0), -1);
  EXPECT_EQ(backend.opens(), 1u);
  EXPECT_EQ(surface_.messages(),
            std::vector<std::string>{"no permission to open fastboot device refusing:1-4: install "
                                     "the udev rules (scripts/install-udev-rules)"});
}

TEST_F(ExecutorTest, FlashAllWaitsForADeviceClaimedByAnotherProgramAndSaysSoOnce) {
  RefusingBackend backend({EBUSY, EBUSY, EBUSY});
  fb_queue_reboot();
  EXPECT_EQ(flash_all(1, "refusing:1-4", 1, 0), 0);
  EXPECT_EQ(backend.opens(), 4u);
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"Fastboot device refusing:1-4 is claimed by another program.",
                                      "rebooting"}));
}

TEST_F(ExecutorTest, AFirmwareCannotBeLoadedWhileADownloadRuns) {
  Fault silent;
  silent.silent = true;
  device_.model().setFault("flash:boot", silent);
  fb_queue_flash("boot", image_.data(), 800);
  fb_action* head = fb_queue_head();
  int result = 0;
  std::thread worker([&] { result = flash_all(1, device_.path(), 800, 0); });
  ASSERT_TRUE(device_.model().waitForCommands(2));

  std::string image = fbtest::writeImage("guard.img", 10);
  EXPECT_EQ(flash_loaddata1(image, image, image, image, image), -1);
  EXPECT_EQ(fb_queue_head(), head);
  ASSERT_EQ(surface_.boxes().size(), 1u);
  EXPECT_EQ(surface_.boxes()[0],
            "Error: An AP download is running; load the firmware after it has finished.");

  host::requestStop();
  worker.join();
  host::clearStop();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(flash_loaddata1(image, image, image, image, image), 0);
}

}  // namespace
