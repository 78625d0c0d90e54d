// The profile service on real files: the buffer conventions, the reading rules as a caller sees
// them, writes that keep what they do not touch, refusals, and atomic replacement.

#include "profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

#include "wexley_test_support.h"

namespace profile = wexley::profile;
using wexleytest::readFile;
using wexleytest::TempFolder;
using wexleytest::writeFile;

namespace {

// The NUL-separated list a read stored, as one string with '|' for each NUL.
std::string shown(const std::vector<char>& buffer, uint32_t length) {
  std::string text(buffer.data(), length + 1);
  for (char& c : text) c = c == '\0' ? '|' : c;
  return text;
}

class WexleyProfile : public ::testing::Test {
 protected:
  std::string value(const std::string& section, const std::string& key) {
    std::vector<char> buffer(256, 'x');
    uint32_t length = profile::readString(section, key, "", buffer.data(), 256, path);
    return std::string(buffer.data(), length);
  }
  std::string keys(const std::string& section) {
    std::vector<char> buffer(256, 'x');
    return shown(buffer, profile::readString(section, std::nullopt, "", buffer.data(), 256, path));
  }
  std::string body(const std::string& section) {
    std::vector<char> buffer(256, 'x');
    return shown(buffer, profile::readSection(section, buffer.data(), 256, path));
  }
  std::string names() {
    std::vector<char> buffer(256, 'x');
    return shown(buffer, profile::readSectionNames(buffer.data(), 256, path));
  }

  TempFolder folder;
  std::string path = folder.file("test.ini");
};

TEST_F(WexleyProfile, ListsThatDoNotFitAreCutWithTwoNuls) {
  writeFile(path, "[Alpha]\n[Beta]\n");
  std::vector<char> buffer(16, 'x');
  EXPECT_EQ(profile::readSectionNames(buffer.data(), 12, path), 11u);  // "Alpha|Beta||"
  EXPECT_EQ(shown(buffer, 11), "Alpha|Beta||");
  EXPECT_EQ(profile::readSectionNames(buffer.data(), 11, path), 9u);
  EXPECT_EQ(shown(buffer, 10), "Alpha|Bet||");
  EXPECT_EQ(profile::readSectionNames(buffer.data(), 4, path), 2u);
  EXPECT_EQ(shown(buffer, 3), "Al||");
  EXPECT_EQ(profile::readSectionNames(buffer.data(), 0, path), 0u);
}

TEST_F(WexleyProfile, AStringThatDoesNotFitIsCutWithOneNul) {
  writeFile(path, "[A]\nk=abcdef\n");
  std::vector<char> buffer(8, 'x');
  EXPECT_EQ(profile::readString("A", "k", "", buffer.data(), 4, path), 3u);
  EXPECT_STREQ(buffer.data(), "abc");
  EXPECT_EQ(profile::readString("A", "missing", "dflt  ", buffer.data(), 8, path), 4u);
  EXPECT_STREQ(buffer.data(), "dflt");  // trailing blanks of the fallback do not count
}

TEST_F(WexleyProfile, ReadsAsTheRulesSay) {
  writeFile(path,
            "before=1\r\n"
            "[Main]\r\n"
            "; note=1\r\n"
            "  Name =  \"quoted value\"  \r\n"
            "single='x'\r\n"
            "odd=\"x'\r\n"
            "lone=\"\r\n"
            "k=v=w\r\n"
            "bare\r\n"
            "=nameless\r\n"
            "[broken\r\n"
            "[main]\r\n"
            "Name=second\r\n");
  EXPECT_EQ(value("MAIN", "name"), "quoted value");
  EXPECT_EQ(value("Main", "single"), "x");
  EXPECT_EQ(value("Main", "odd"), "\"x'");
  EXPECT_EQ(value("Main", "lone"), "\"");
  EXPECT_EQ(value("Main", "k"), "v=w");
  EXPECT_EQ(value("Main", "bare"), "");
  EXPECT_EQ(value("Main", "note"), "");  // a comment is no key
  EXPECT_EQ(value("", "before"), "");    // nothing before the first header is read
  EXPECT_EQ(body("Main"),
            "Name=\"quoted value\"|single='x'|odd=\"x'|lone=\"|k=v=w|bare|=nameless|[broken||");
  EXPECT_EQ(keys("main"), "Name|single|odd|lone|k|bare|[broken||");
  EXPECT_EQ(names(), "Main|main||");
  EXPECT_EQ(body("missing"), "|");
}

TEST_F(WexleyProfile, AMissingFileReadsEmptyAndDeletesCreateNothing) {
  EXPECT_EQ(names(), "|");
  EXPECT_EQ(value("A", "k"), "");
  EXPECT_TRUE(profile::writeString("A", "k", std::nullopt, path));
  EXPECT_TRUE(profile::writeString("A", std::nullopt, std::nullopt, path));
  EXPECT_TRUE(profile::writeSection("A", nullptr, path));
  EXPECT_TRUE(folder.entries().empty());
}

TEST_F(WexleyProfile, WritesCreateTheFileAndKeepWhatTheyDoNotTouch) {
  EXPECT_TRUE(profile::writeString("Main", "Name", "A3", path));
  EXPECT_EQ(readFile(path), "[Main]\r\nName=A3\r\n");
  std::string original = "; keep me\n[Main]\nName=A3\n\n[Other]  \n  x = 1\n";
  writeFile(path, original);
  EXPECT_TRUE(profile::writeString("main", "NAME", "B4", path));
  EXPECT_TRUE(profile::writeString("Other", "y", "2", path));
  EXPECT_TRUE(profile::writeString("Third", "z", "3", path));
  EXPECT_EQ(readFile(path),
            "; keep me\n[Main]\nName=B4\r\n\n[Other]  \n  x = 1\ny=2\r\n[Third]\r\nz=3\r\n");
}

TEST_F(WexleyProfile, DeletingAndReplacingSectionsAndKeys) {
  writeFile(path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
  EXPECT_TRUE(profile::writeString("A", "x", std::nullopt, path));
  EXPECT_EQ(readFile(path), "[A]\ny=2\n[B]\nz=3\n");
  EXPECT_TRUE(profile::writeSection("B", "p=1\0q=2\0", path));
  EXPECT_EQ(readFile(path), "[A]\ny=2\n[B]\np=1\r\nq=2\r\n");
  EXPECT_TRUE(profile::writeSection("A", nullptr, path));
  EXPECT_EQ(readFile(path), "[A]\n[B]\np=1\r\nq=2\r\n");
  EXPECT_TRUE(profile::writeString("b", std::nullopt, std::nullopt, path));
  EXPECT_EQ(readFile(path), "[A]\n");
  EXPECT_TRUE(profile::writeSection("Empty", "", path));
  EXPECT_EQ(readFile(path), "[A]\n[Empty]\r\n");
}

TEST_F(WexleyProfile, RefusesWhatWouldNotReadBackAsWritten) {
  writeFile(path, "[A]\nx=1\n");
  EXPECT_FALSE(profile::writeString("A", "x", "1\r\n[Injected]", path));
  EXPECT_FALSE(profile::writeString("A\nB", "x", "1", path));
  EXPECT_FALSE(profile::writeString("  ", "x", "1", path));
  EXPECT_FALSE(profile::writeString("A", "a=b", "1", path));
  EXPECT_FALSE(profile::writeString("A", " [B]", "1", path));
  EXPECT_FALSE(profile::writeString("A", ";c", "1", path));
  EXPECT_FALSE(profile::writeString("A", "", "1", path));
  EXPECT_FALSE(profile::writeString("A", std::string("x\0y", 3), "1", path));
  EXPECT_FALSE(profile::writeSection("A", "p=1\0[B]=2\0", path));
  EXPECT_FALSE(profile::writeSection("A", "p=1\0=2\0", path));
  EXPECT_FALSE(profile::writeSection("A", "p=1\r\nq=2\0", path));
  EXPECT_EQ(readFile(path), "[A]\nx=1\n");
}

TEST_F(WexleyProfile, BytesThatAreNotAsciiPassThrough) {
  ASSERT_TRUE(profile::writeString("测试", "名字", "值 \xFF", path));
  EXPECT_EQ(readFile(path), "[测试]\r\n名字=值 \xFF\r\n");
  EXPECT_EQ(value("测试", "名字"), "值 \xFF");
}

TEST_F(WexleyProfile, AnUnreadableTargetIsNeverOverwrittenNorWaitedOn) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_EQ(names(), "|");
  EXPECT_FALSE(profile::writeString("A", "k", "v", path));
  EXPECT_FALSE(profile::writeString("A", std::nullopt, std::nullopt, path));
  std::string dir = folder.file("dir.ini");
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  EXPECT_FALSE(profile::writeString("A", "k", "v", dir));
  EXPECT_FALSE(profile::writeString("A", "k", "v", folder.file("no/such/folder.ini")));
  EXPECT_FALSE(profile::writeString("A", "k", "v", ""));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"dir.ini", "test.ini"}));
}

TEST_F(WexleyProfile, ReplacesTheFileKeepingItsModeAndNoTemporaryFile) {
  writeFile(path, "[A]\nx=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(profile::writeString("A", "x", "2", path));
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"test.ini"});
}

TEST_F(WexleyProfile, WritesThroughSymbolicLinks) {
  writeFile(folder.file("real.ini"), "[A]\nx=1\n");
  ASSERT_EQ(::symlink("real.ini", folder.file("link.ini").c_str()), 0);
  ASSERT_EQ(::symlink("link.ini", folder.file("chain.ini").c_str()), 0);
  ASSERT_EQ(::symlink("later.ini", folder.file("dangling.ini").c_str()), 0);
  ASSERT_TRUE(profile::writeString("A", "x", "2", folder.file("chain.ini")));
  ASSERT_TRUE(profile::writeString("A", "x", "3", folder.file("dangling.ini")));
  EXPECT_EQ(readFile(folder.file("real.ini")), "[A]\nx=2\r\n");
  EXPECT_EQ(readFile(folder.file("later.ini")), "[A]\r\nx=3\r\n");
  struct stat info;
  ASSERT_EQ(::lstat(folder.file("link.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(WexleyProfile, AReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  writeFile(path, "[A]\nx=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(profile::writeString("A", "x", "2", path));
  EXPECT_EQ(readFile(path), "[A]\nx=1\n");
}

}  // namespace
