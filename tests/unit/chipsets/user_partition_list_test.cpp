// The user partition list handed to the streaming download: its entries, and the tables that
// do not fit it.

#include "chipsets/user_partition_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

host::FileTable tableWith(int lowerRows, const std::string& path = "/fw/file.mbn") {
  host::FileTable table;
  table.setPath(1, "/fw");
  table.appendRow("system.img", "/fw/system.img");
  for (int i = 0; i < lowerRows; ++i) {
    table.appendRow(i == 0 ? "SBL" : "P" + std::to_string(i), path);
  }
  return table;
}

bool zeroed(const QLIB_UserPartitionList& list) {
  static const QLIB_UserPartitionList kEmpty{};
  return std::memcmp(&list, &kEmpty, sizeof list) == 0;
}

TEST(UserPartitionListTest, RowsFromTheFirstLabelToTheEndBecomeEntries) {
  QLIB_UserPartitionList list;
  std::memset(&list, 0x5A, sizeof list);
  std::string error;
  ASSERT_TRUE(buildUserPartitionList(tableWith(10), "SBL", list, error));
  EXPECT_EQ(list.count, 10u);
  EXPECT_STREQ(list.entries[0].name, "0:SBL");
  EXPECT_STREQ(list.entries[9].name, "0:P9");
  EXPECT_STREQ(list.entries[9].path, "/fw/file.mbn");
  // Unused bytes are zero: the library reads whole fields.
  EXPECT_EQ(list.entries[0].name[9], 0);
  EXPECT_EQ(list.entries[0].path[255], 0);
}

TEST(UserPartitionListTest, TableWithoutTheFirstLabelGivesAnEmptyList) {
  QLIB_UserPartitionList list;
  std::string error;
  ASSERT_TRUE(buildUserPartitionList(tableWith(0), "SBL", list, error));
  EXPECT_TRUE(zeroed(list));
}

TEST(UserPartitionListTest, WhatDoesNotFitIsRefusedAndLeavesNoPartialList) {
  QLIB_UserPartitionList list;
  std::string error;
  EXPECT_FALSE(buildUserPartitionList(tableWith(11), "SBL", list, error));
  EXPECT_EQ(error, "The download list holds at most 10 files.");
  EXPECT_TRUE(zeroed(list));

  const std::string longPath = "/" + std::string(255, 'p');
  EXPECT_FALSE(buildUserPartitionList(tableWith(2, longPath), "SBL", list, error));
  EXPECT_EQ(error, "The path " + longPath + " is too long for the download list.");
  EXPECT_TRUE(zeroed(list));

  host::FileTable table = tableWith(1);
  table.appendRow("LONGLABEL", "/fw/x");
  EXPECT_FALSE(buildUserPartitionList(table, "SBL", list, error));
  EXPECT_EQ(error, "The partition name 0:LONGLABEL is too long for the download list.");
  // The longest path that fits, 255 characters, is kept whole.
  EXPECT_TRUE(buildUserPartitionList(tableWith(1, longPath.substr(1)), "SBL", list, error));
  EXPECT_EQ(std::string(list.entries[0].path).size(), 255u);
}

}  // namespace
