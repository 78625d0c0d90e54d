#include "chipsets/tool_paths.h"

#include <gtest/gtest.h>

#include "support/temporary_folder.h"

namespace {

TEST(ToolPathsTest, SegmentationPathSplitsAtTheLastSeparator) {
  std::string directory, name;
  EXPECT_EQ(SegmentationPath("/fw/9205/prog_firehose.elf", &directory, &name), 1);
  EXPECT_EQ(directory, "/fw/9205");
  EXPECT_EQ(name, "prog_firehose.elf");
  EXPECT_EQ(SegmentationPath("/prog.mbn", &directory, &name), 1);
  EXPECT_EQ(directory, "");
  EXPECT_EQ(name, "prog.mbn");
  EXPECT_EQ(SegmentationPath("prog.mbn", &directory, &name), 1);
  EXPECT_EQ(directory, ".");
  EXPECT_EQ(SegmentationPath("/fw/", &directory, &name), 1);
  EXPECT_EQ(name, "");
  EXPECT_EQ(SegmentationPath("", &directory, &name), 0);
  EXPECT_EQ(SegmentationPath("/a/b", nullptr, &name), 0);
  EXPECT_EQ(SegmentationPath("/a/b", &directory, nullptr), 0);
  // Paths longer than the 255 characters of the old buffers are split whole.
  const std::string longFolder = "/" + std::string(400, 'd');
  EXPECT_EQ(SegmentationPath(longFolder + "/x.xml", &directory, &name), 1);
  EXPECT_EQ(directory, longFolder);
}

TEST(ToolPathsTest, IsFileExistWantsTheExactName) {
  test_support::TemporaryFolder folder("zendral-tool-paths");
  folder.write("Patch0.xml", "x");
  const std::string pattern = folder.path().string() + "/*";
  EXPECT_EQ(IsFileExist(pattern, "Patch0.xml"), 0);
  EXPECT_NE(IsFileExist(pattern, "patch0.xml"), 0);
  EXPECT_NE(IsFileExist(pattern, "Patch0"), 0);
  EXPECT_NE(IsFileExist(pattern, "*"), 0);
  EXPECT_NE(IsFileExist(pattern, ""), 0);
  EXPECT_NE(IsFileExist(folder.path().string() + "/missing/*", "Patch0.xml"), 0);
  EXPECT_NE(IsFileExist(folder.path().string(), "Patch0.xml"), 0) << "not a search pattern";
}

}  // namespace
