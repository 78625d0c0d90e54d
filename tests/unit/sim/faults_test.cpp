#include "sim/bench/faults.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(FaultSpecs, AcceptsEveryNamedFault) {
  ModuleFaults faults;
  std::string error;
  for (const char* fault :
       {"at-silent", "at-error", "switch-refused", "no-download-port", "no-fastboot",
        "fastboot-fail:system", "unplug:cp", "unplug:ap:50", "qcn-size:4096", "sahara-fail",
        "firehose-error", "tool-hang", "stream-quiet", "multi-image-fail"}) {
    EXPECT_TRUE(addFault(fault, faults, error)) << fault << ": " << error;
  }
  EXPECT_TRUE(faults.atSilent && faults.atError && faults.switchRefused);
  EXPECT_TRUE(faults.noDownloadPort && faults.noFastboot && faults.toolHang);
  EXPECT_TRUE(faults.streamQuiet && faults.multiImageFail);
  EXPECT_EQ(faults.fastbootFail.count("system"), 1u);
  ASSERT_EQ(faults.unplug.size(), 2u);
  EXPECT_EQ(faults.unplug[0].percent, 0);
  EXPECT_EQ(faults.unplug[1].stage, "ap");
  EXPECT_EQ(faults.unplug[1].percent, 50);
  EXPECT_EQ(faults.qcnSize, 4096u);
  EXPECT_EQ(faults.given.size(), 14u);
}

TEST(FaultSpecs, RefusesMalformedSpecsWithAReason) {
  for (const char* fault :
       {"", "unplug", "unplug:xp", "unplug:cp:101", "unplug:cp:-1", "unplug:cp:5x", "qcn-size",
        "qcn-size:12k", "fastboot-fail", "at-silent:1", "melt"}) {
    ModuleFaults faults;
    std::string error;
    EXPECT_FALSE(addFault(fault, faults, error)) << fault;
    EXPECT_FALSE(error.empty()) << fault;
    EXPECT_TRUE(faults.given.empty()) << fault;
  }
}

TEST(FaultSpecs, UnplugIsDueAtItsPercentageOfTheStageOnly) {
  ModuleFaults faults;
  std::string error;
  ASSERT_TRUE(addFault("unplug:tp:50", faults, error));
  EXPECT_EQ(dueUnplug(faults, "tp", 49, 100), nullptr);
  EXPECT_EQ(dueUnplug(faults, "cp", 100, 100), nullptr);
  UnplugFault* due = dueUnplug(faults, "tp", 50, 100);
  ASSERT_NE(due, nullptr);
  due->spent = true;
  EXPECT_EQ(dueUnplug(faults, "tp", 100, 100), nullptr) << "an unplug fault fires once";
  // Sizes of real images do not overflow the comparison.
  ASSERT_TRUE(addFault("unplug:cp:99", faults, error));
  EXPECT_EQ(dueUnplug(faults, "cp", (1ull << 62) / 100 * 98, 1ull << 62), nullptr);
  EXPECT_NE(dueUnplug(faults, "cp", 1ull << 62, 1ull << 62), nullptr);
}

}  // namespace
}  // namespace sim
