#include "platform/slot_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SlotRecordTest, IdentityIsStoredOnlyForDutOneAndCutToFit) {
  resetSlotRecords();
  SetThreadImei(2, "861234567890123");
  SetThreadMeid(0, "A1000012345678");
  EXPECT_STREQ(gThreadData[0].imei, "");
  EXPECT_STREQ(gThreadData[0].meid, "");

  SetThreadImei(1, "861234567890123");
  SetThreadMeid(1, std::string(40, 'A'));
  EXPECT_STREQ(gThreadData[0].imei, "861234567890123");
  EXPECT_EQ(std::string(gThreadData[0].meid), std::string(19, 'A'));
}

TEST(SlotRecordTest, PortIsPresentOnlyWhenItIsTheSlotsAndTheSlotIsPresent) {
  resetSlotRecords();
  gThreadData[0].diaport = 12;
  gThreadData[0].ql9008port = 7;
  EXPECT_EQ(bPortPresent(12), 0);
  gThreadData[0].present = 1;
  EXPECT_EQ(bPortPresent(12), 1);
  EXPECT_EQ(bPortPresent(7), 1);
  EXPECT_EQ(bPortPresent(9), 0);
  EXPECT_EQ(bPortPresent(0), 0) << "an unset port (0) is never present";
}

}  // namespace
