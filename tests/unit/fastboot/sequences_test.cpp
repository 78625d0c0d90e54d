// The flash sequences: which images they check and in what order, what they queue for each
// set of options, and what a missing or unloadable image leaves behind.

#include <gtest/gtest.h>

#include <filesystem>

#include "fastboot/action_queue.h"
#include "fastboot/flash_sequences.h"
#include "fastboot/image_loader.h"
#include "fastboot_test_support.h"

namespace {

// The queue as the device would see it: "erase:x", "flash:x", "flashC:x", "reboot".
std::vector<std::string> commands() {
  std::vector<std::string> list;
  for (fb_action* a = fb_queue_head(); a; a = a->next) {
    if (a->kind == OP_COMMAND) list.push_back(a->command);
  }
  return list;
}

class SequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue_action_clear();
    release_images();
    unsigned seed = 1;
    for (const char* name : {"sbl", "tz", "rpm", "devcfg", "aboot", "boot", "system", "modem",
                             "recovery", "recoveryfs", "efs2", "userdata", "persist"}) {
      paths_[name] = fbtest::writeImage(std::string(name) + ".img", 100 + seed, seed);
      ++seed;
    }
    images_.sbl = paths_["sbl"];
    images_.tz = paths_["tz"];
    images_.rpm = paths_["rpm"];
    images_.aboot = paths_["aboot"];
    images_.boot = paths_["boot"];
    images_.system = paths_["system"];
    images_.userdata = paths_["userdata"];
  }
  void TearDown() override {
    queue_action_clear();
    release_images();
  }

  std::map<std::string, std::string> paths_;
  Qca9x07Images images_;
  Qca9x07Options options_;
  fbtest::RecordingSurface surface_;
};

using Commands = std::vector<std::string>;

TEST_F(SequenceTest, Qca9x07WithUserdataAndNoOptions) {
  EXPECT_EQ(flash_loaddata7(images_, options_), 0);
  EXPECT_EQ(commands(),
            (Commands{"flash:aboot", "flash:boot", "flash:system", "flash:userdata", "reboot"}));
  EXPECT_TRUE(surface_.boxes().empty());
}

TEST_F(SequenceTest, Qca9x07KeepingTheQcnLeavesAbootOutAndRewritesEfs2) {
  images_.efs2 = paths_["efs2"];
  options_.backupRestoreQcn = true;
  EXPECT_EQ(flash_loaddata7(images_, options_), 0);
  EXPECT_EQ(commands(), (Commands{"flash:boot", "flash:system", "erase:efs2", "flash:efs2",
                                  "flash:userdata", "reboot"}));
}

TEST_F(SequenceTest, Qca9x07LeavesEfs2AloneWithoutTheQcnOption) {
  images_.efs2 = paths_["efs2"];
  EXPECT_EQ(flash_loaddata4(images_, options_), 0);
  EXPECT_EQ(commands(), (Commands{"flash:aboot", "flash:boot", "flash:system", "reboot"}));
}

TEST_F(SequenceTest, Qca9x07ApOnlyBeginsWithTheBootChain) {
  images_.devcfg = paths_["devcfg"];
  images_.modem = paths_["modem"];
  images_.recovery = paths_["recovery"];
  images_.recoveryfs = paths_["recoveryfs"];
  options_.onlyAp = true;
  EXPECT_EQ(flash_loaddata4(images_, options_), 0);
  EXPECT_EQ(commands(), (Commands{"flash:sbl", "flash:tz", "flash:rpm", "flash:devcfg",
                                  "flash:aboot", "flash:boot", "flash:system", "flash:modem",
                                  "flash:recovery", "flash:recoveryfs", "reboot"}));
}

TEST_F(SequenceTest, Qca9x07ApOnlyWithAMissingDevcfgLeavesNothingToRun) {
  images_.devcfg = "devcfg-missing.mbn";
  options_.onlyAp = true;
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find devcfg.mbn file."});
  // sbl, tz and rpm alone would make a later AP download report success.
  EXPECT_EQ(fb_queue_head(), nullptr);
}

TEST_F(SequenceTest, Qca9x07PersistAndCustomerImages) {
  images_.persist = paths_["persist"];
  EXPECT_EQ(flash_loaddata5(images_, options_), 0);
  EXPECT_EQ(commands().at(4), "flash:persist");
  EXPECT_EQ(flash_loaddata6(images_, options_), 0);
  EXPECT_EQ(commands(), (Commands{"flash:aboot", "flash:boot", "flash:system", "flash:userdata",
                                  "flash:customer", "reboot"}));
  images_.persist = "customer-missing.img";
  EXPECT_EQ(flash_loaddata6(images_, options_), -1);
  EXPECT_EQ(surface_.boxes().back(), "Error: can't find persist file.");
}

TEST_F(SequenceTest, Qca9x07OptionalImagesAreCheckedOnlyWhenNamed) {
  EXPECT_EQ(flash_loaddata4(images_, options_), 0);  // no modem: neither checked nor flashed
  EXPECT_EQ(commands().size(), 4u);
  images_.modem = "modem-missing.img";
  EXPECT_EQ(flash_loaddata4(images_, options_), -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find modem file."});
  EXPECT_EQ(fb_queue_head(), nullptr);
}

TEST_F(SequenceTest, Qca9x07ChecksAbootEvenWhenItWillNotBeFlashed) {
  images_.aboot = "aboot-missing.mbn";
  options_.backupRestoreQcn = true;
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find aboot file."});
}

TEST_F(SequenceTest, Qca9x07ChecksInItsOwnOrder) {
  images_.rpm = "";
  images_.boot = "";
  images_.userdata = "";
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find rpm file."});
  images_.rpm = paths_["rpm"];
  EXPECT_EQ(flash_loaddata4(images_, options_), -1);
  EXPECT_EQ(surface_.boxes().back(), "Error: can't find boot file.");
  images_.boot = paths_["boot"];
  EXPECT_EQ(flash_loaddata4(images_, options_), 0);  // userdata is not part of this one
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  EXPECT_EQ(surface_.boxes().back(), "Error: can't find userdata file.");
}

TEST_F(SequenceTest, Qca9x25MissingRecoveryLeavesAnEmptyQueue) {
  EXPECT_EQ(flash_loaddata1(paths_["boot"], paths_["system"], paths_["userdata"],
                            "recovery-missing.img", paths_["recoveryfs"]),
            -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find recovery file."});
  EXPECT_EQ(fb_queue_head(), nullptr);
}

TEST_F(SequenceTest, Qca9x25AndQca9x15Orders) {
  EXPECT_EQ(flash_loaddata1(paths_["boot"], paths_["system"], paths_["userdata"],
                            paths_["recovery"], paths_["recoveryfs"]),
            0);
  EXPECT_EQ(commands(), (Commands{"flash:boot", "flash:system", "flash:userdata", "flash:recovery",
                                  "flash:recoveryfs", "reboot"}));
  EXPECT_EQ(fb_flash_piece_limit(), 0u);
  EXPECT_EQ(flash_loaddata2(paths_["boot"], paths_["system"], paths_["userdata"],
                            paths_["recovery"], paths_["recoveryfs"], paths_["aboot"]),
            0);
  EXPECT_EQ(commands(), (Commands{"flash:aboot", "flash:boot", "flash:system", "flash:userdata",
                                  "flash:recovery", "flash:recoveryfs", "reboot"}));
  EXPECT_EQ(fb_flash_piece_limit(), kQca9x15FlashPieceLimit);
  // Qca9x15 checks aboot first.
  EXPECT_EQ(flash_loaddata2("", "", paths_["userdata"], paths_["recovery"], paths_["recoveryfs"],
                            "aboot-missing"),
            -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: can't find aboot file."});
}

TEST_F(SequenceTest, DownloadsPointIntoTheImageBuffers) {
  ASSERT_EQ(flash_loaddata7(images_, options_), 0);
  fb_action* download = fb_queue_head();
  ASSERT_EQ(download->kind, OP_DOWNLOAD);
  auto expected = fbtest::readFile(paths_["aboot"]);
  ASSERT_EQ(download->size, expected.size());
  EXPECT_EQ(0, memcmp(download->data, expected.data(), expected.size()));
  EXPECT_STREQ(download->message, "sending 'aboot' (0 KB)");
}

TEST_F(SequenceTest, LoadingTwiceKeepsOneBufferPerKind) {
  images_.efs2 = paths_["efs2"];
  options_.backupRestoreQcn = true;
  ASSERT_EQ(flash_loaddata7(images_, options_), 0);
  int buffers = live_image_buffers();
  EXPECT_EQ(buffers, 4);  // boot, system, efs2, userdata
  ASSERT_EQ(flash_loaddata7(images_, options_), 0);
  EXPECT_EQ(live_image_buffers(), buffers);
}

TEST_F(SequenceTest, AnEmptyImageFailsTheLoadInAnErrorBox) {
  std::string empty = fbtest::writeImage("empty.img", 0);
  images_.system = empty;
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  EXPECT_EQ(surface_.boxes(), Commands{"Error: cannot load '" + empty + "'"});
  EXPECT_EQ(fb_queue_head(), nullptr);
}

TEST_F(SequenceTest, AnUnreadableImageFailsTheLoadAndSaysWhy) {
  std::filesystem::create_directory("folder.img");
  images_.boot = std::filesystem::absolute("folder.img").string();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(flash_loaddata7(images_, options_), -1);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("load_file: could not read"), std::string::npos) << err;
  EXPECT_EQ(surface_.boxes(), Commands{"Error: cannot load '" + images_.boot + "'"});
}

TEST(ImageLoader, AMissingOrEmptyFileEmptiesTheSlot) {
  std::string image = fbtest::writeImage("slot.img", 10);
  long size = 0;
  ASSERT_NE(load_bootfile(image.c_str(), &size), nullptr);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(live_image_buffers(), 1);
  EXPECT_EQ(load_bootfile("no-such-file", &size), nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(live_image_buffers(), 0);
  release_images();
}

}  // namespace
