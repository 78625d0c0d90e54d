// Text and file utilities: UTF-8 and wide text, file size, and the truncation rules of strrpl.

#include "host/stringplus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

TEST(StringPlus, WideTextRoundTripsThroughUtf8) {
  const char* text =
      "QCN \xe5\xa4\x87\xe4\xbb\xbd \xf0\x9f\x93\xb1 ok";  // CJK and a 4-byte character
  std::wstring wide = char2wchar(text);
  EXPECT_EQ(wide, std::wstring(L"QCN \u5907\u4efd \U0001F4F1 ok"));
  EXPECT_STREQ(wchar2char(wide.c_str()), text);
  EXPECT_STREQ(char2wchar(nullptr), L"");
  EXPECT_STREQ(wchar2char(nullptr), "");
}

TEST(StringPlus, InvalidSequencesBecomeReplacementCharacters) {
  // A stray continuation byte, a truncated sequence, an overlong form and an encoded surrogate.
  EXPECT_EQ(std::wstring(char2wchar("a\x80"
                                    "b\xe4\xb8"
                                    "\xc0\xaf\xed\xa0\x80")),
            std::wstring(L"a\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"));
  const wchar_t bad[] = {L'x', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), 0};
  EXPECT_STREQ(wchar2char(bad), "x\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(StringPlus, EachThreadOwnsItsResult) {
  const wchar_t* mine = char2wchar("main");
  std::thread([] { EXPECT_STREQ(char2wchar("worker"), L"worker"); }).join();
  EXPECT_STREQ(mine, L"main");
}

TEST(StringPlus, FileSizeOfRegularFilesOnly) {
  char folder[] = "/tmp/stringplus-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  std::string empty = std::string(folder) + "/empty";
  std::string some = std::string(folder) + "/some";
  std::string fifo = std::string(folder) + "/fifo";
  std::fclose(std::fopen(empty.c_str(), "wb"));
  FILE* out = std::fopen(some.c_str(), "wb");
  std::fputs("12345", out);
  std::fclose(out);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(get_file_size(some.c_str()), 5u);
  EXPECT_EQ(get_file_size(empty.c_str()), 0u);
  EXPECT_EQ(get_file_size((std::string(folder) + "/missing").c_str()), 0u);
  EXPECT_EQ(get_file_size(folder), 0u);
  EXPECT_EQ(get_file_size(fifo.c_str()), 0u);  // returns at once instead of waiting for a writer
  EXPECT_EQ(get_file_size(nullptr), 0u);
  ::unlink(empty.c_str());
  ::unlink(some.c_str());
  ::unlink(fifo.c_str());
  ::rmdir(folder);
}

TEST(StringPlus, ReplacesEveryOccurrence) {
  char first[16] = "";
  ASSERT_EQ(strrpl("OK\r\n", first, sizeof first, "\r", "."), first);
  EXPECT_STREQ(first, "OK.\n");
  char second[16] = "";
  strrpl(first, second, sizeof second, "\n", ".");
  EXPECT_STREQ(second, "OK..");
  char copy[16] = "";
  EXPECT_STREQ(strrpl("abc", copy, sizeof copy, "zz", "y"), "abc");
  char removed[16] = "";
  EXPECT_STREQ(strrpl("a-b-c", removed, sizeof removed, "-", ""), "abc");
}

TEST(StringPlus, RefusesBadArguments) {
  char out[8] = "keep";
  EXPECT_EQ(strrpl("abc", out, sizeof out, "", "x"), nullptr);
  EXPECT_EQ(strrpl("", out, sizeof out, "a", "x"), nullptr);
  EXPECT_EQ(strrpl("abc", out, 0, "a", "x"), nullptr);
  EXPECT_EQ(strrpl(nullptr, out, sizeof out, "a", "x"), nullptr);
  EXPECT_EQ(strrpl("abc", nullptr, sizeof out, "a", "x"), nullptr);
  EXPECT_EQ(strrpl("abc", out, sizeof out, nullptr, "x"), nullptr);
  EXPECT_EQ(strrpl("abc", out, sizeof out, "a", nullptr), nullptr);
  EXPECT_STREQ(out, "keep");
}

TEST(StringPlus, StopsWhenTheRoomIsUsed) {
  char out[6];
  std::memset(out, '#', sizeof out);
  out[0] = '\0';
  EXPECT_STREQ(strrpl("abcdefgh", out, sizeof out, "x", "y"), "abcde");
  // A replacement that no longer fits ends the output, even when a shorter one would.
  out[0] = '\0';
  EXPECT_STREQ(strrpl("abcd-e", out, sizeof out, "-", "XX"), "abcd");
  out[0] = '\0';
  EXPECT_STREQ(strrpl("abc-e", out, sizeof out, "-", "XX"), "abcXX");
}

TEST(StringPlus, AppendsWithinTheWholeBuffer) {
  // The text already there counts against the size, so appending never runs past the buffer.
  char out[8] = "abc";
  EXPECT_STREQ(strrpl("defghijk", out, sizeof out, "x", "y"), "abcdefg");
  char full[4] = "abc";
  EXPECT_STREQ(strrpl("def", full, sizeof full, "x", "y"), "abc");
}

}  // namespace
