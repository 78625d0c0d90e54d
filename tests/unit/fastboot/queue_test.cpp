// Building the action queue: the steps each queueing operation adds, cutting images into
// pieces, and the conditions that end the process.

#include <gtest/gtest.h>

#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "fastboot_test_support.h"

namespace {

struct Step {
  uint32_t kind;
  std::string command;
  uint32_t size;
  std::string message;
  bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Step& s) {
  return out << "{" << s.kind << " '" << s.command << "' " << s.size << " '" << s.message << "'}";
}

std::vector<Step> steps() {
  std::vector<Step> list;
  for (fb_action* a = fb_queue_head(); a; a = a->next) {
    list.push_back({a->kind, a->command, a->size, a->message ? a->message : ""});
  }
  return list;
}

class QueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue_action_clear();
    fb_set_flash_piece_limit(0);
  }
  void TearDown() override {
    queue_action_clear();
    fb_set_flash_piece_limit(0);
  }
  // Queueing never reads the data, so a fake address stands in for a 100 MB image.
  const uint8_t* image_ = reinterpret_cast<const uint8_t*>(0x10000);
};

TEST_F(QueueTest, WithPiecesAnImageBecomesFlashThenFlashCPairs) {
  fb_set_flash_piece_limit(kQca9x15FlashPieceLimit);
  fb_queue_flash("system", image_, 100000000);
  std::vector<Step> expected = {
      {OP_DOWNLOAD, "", 38658048, "sending 'system' (37752 KB)"},
      {OP_COMMAND, "flash:system", 0, "writing 'system'"},
      {OP_DOWNLOAD, "", 38658048, "sending 'system' (37752 KB)"},
      {OP_COMMAND, "flashC:system", 0, "writing 'system'"},
      {OP_DOWNLOAD, "", 22683904, "sending 'system' (22152 KB)"},
      {OP_COMMAND, "flashC:system", 0, "writing 'system'"},
  };
  EXPECT_EQ(steps(), expected);
  // Each piece starts where the previous one ended.
  fb_action* a = fb_queue_head();
  EXPECT_EQ(a->data, image_);
  EXPECT_EQ(a->next->next->data, image_ + 38658048);
  EXPECT_EQ(a->next->next->next->next->data, image_ + 2 * 38658048);
}

TEST_F(QueueTest, WithoutPiecesAnImageIsOneDownloadAndOneFlash) {
  fb_queue_flash("system", image_, 100000000);
  std::vector<Step> expected = {
      {OP_DOWNLOAD, "", 100000000, "sending 'system' (97656 KB)"},
      {OP_COMMAND, "flash:system", 0, "writing 'system'"},
  };
  EXPECT_EQ(steps(), expected);
}

TEST_F(QueueTest, AnEmptyImageQueuesBothStepsUnlessCut) {
  fb_queue_flash("boot", image_, 0);
  EXPECT_EQ(steps().size(), 2u);
  queue_action_clear();
  fb_set_flash_piece_limit(kQca9x15FlashPieceLimit);
  fb_queue_flash("boot", image_, 0);
  EXPECT_TRUE(steps().empty());
}

TEST_F(QueueTest, AnImageOfExactlyOnePieceIsNotFollowedByAnEmptyPiece) {
  fb_set_flash_piece_limit(kQca9x15FlashPieceLimit);
  fb_queue_flash("boot", image_, kQca9x15FlashPieceLimit);
  EXPECT_EQ(steps().size(), 2u);
}

TEST_F(QueueTest, TheOtherQueueingOperations) {
  fb_queue_erase("efs2");
  fb_queue_command("oem unlock", "unlocking");
  fb_queue_download("blob", image_, 2048);
  fb_queue_reboot();
  std::vector<Step> expected = {
      {OP_COMMAND, "erase:efs2", 0, "erasing 'efs2'"},
      {OP_COMMAND, "oem unlock", 0, "unlocking"},
      {OP_DOWNLOAD, "", 2048, "downloading 'blob'"},
      {OP_COMMAND, "reboot", 0, "rebooting"},
  };
  EXPECT_EQ(steps(), expected);
  for (fb_action* a = fb_queue_head(); a; a = a->next) EXPECT_EQ(a->start, -1.0);
  EXPECT_EQ(fb_queue_head()->handler, action_done_default);

  queue_action_clear();
  EXPECT_EQ(fb_queue_head(), nullptr);
  const char* values[] = {"a", "b"};
  fb_queue_require("product", 0, 2, values);
  fb_queue_display("version", "Version");
  fb_queue_notice("hello");
  std::vector<Step> queries = {
      {OP_QUERY, "getvar:product", 2, "checking product"},
      {OP_QUERY, "getvar:version", 0, ""},
      {OP_NOTICE, "", 0, ""},
  };
  EXPECT_EQ(steps(), queries);
}

TEST_F(QueueTest, ACommandOf63CharactersIsQueued) {
  fb_queue_erase(std::string(57, 'p').c_str());  // "erase:" + 57
  EXPECT_EQ(std::string(fb_queue_head()->command).size(), 63u);
}

using QueueDeathTest = QueueTest;

TEST_F(QueueDeathTest, ACommandOf64CharactersEndsTheProcess) {
  EXPECT_EXIT(fb_queue_erase(std::string(58, 'p').c_str()), ::testing::ExitedWithCode(1),
              "^error: Command length \\(64\\) exceeds maximum size \\(64\\)\n$");
}

TEST_F(QueueDeathTest, ABogusActionEndsTheRun) {
  append_action(9, "%s", "odd");
  EXPECT_EXIT(fb_execute_queue(1, nullptr, 1, 0), ::testing::ExitedWithCode(1),
              "error: bogus action\n");
}

TEST_F(QueueDeathTest, AnUncutImageBeyondWhatOneDownloadAnnouncesEndsTheProcess) {
  EXPECT_EXIT(fb_queue_flash("system", image_, 0x100000000ull), ::testing::ExitedWithCode(1),
              "error: Image size");
}

TEST(Mkmsg, FormatsIntoAFreshCopyCutAt255Characters) {
  char* a = mkmsg("sending '%s' (%d KB)", "boot", 12);
  EXPECT_STREQ(a, "sending 'boot' (12 KB)");
  char* b = mkmsg("%s", std::string(400, 'x').c_str());
  EXPECT_EQ(std::string(b).size(), 255u);
  free(a);
  free(b);
}

}  // namespace
