// The reader: line splitting, the 255-character cut, comments, sections, items, quoting and
// multi-line items, and input that is not an INI file at all.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ini/inifile.h"
#include "ini_test_support.h"

using initest::getString;
using initest::readDocument;
using initest::writtenText;

namespace {

using namespace std::string_literals;

TEST(IniReader, SectionsAndItemsFollowTheLineRules) {
  IniDocumentPtr doc = readDocument(
      "Key=1\r\n"
      "  [ Dir ]  \r\n"
      "Key=1\r\n"
      "  Path  =  fw/img  \r\n"
      "Empty =   \r\n"
      "= nameless\r\n"
      "NoSeparator\r\n"
      "Quoted = \"\"\r\n"
      "Half = \"open\r\n"
      "[Dir] x\r\n"
      "[Broken\r\n"
      "[Other]\r\n");
  EXPECT_EQ(Ini_SectionExists(doc.get(), "Dir"), 1);
  EXPECT_EQ(Ini_SectionExists(doc.get(), "Broken"), 0);
  EXPECT_EQ(Ini_NumberOfSections(doc.get()), 2);
  EXPECT_EQ(getString(doc.get(), "dir", "KEY"), "1");
  EXPECT_EQ(getString(doc.get(), "Dir", "path"), "fw/img");
  EXPECT_EQ(Ini_ItemExists(doc.get(), "Dir", "Empty"), 0);
  EXPECT_EQ(Ini_ItemExists(doc.get(), "Dir", "Quoted"), 1);
  EXPECT_EQ(getString(doc.get(), "Dir", "Quoted"), "");
  EXPECT_EQ(getString(doc.get(), "Dir", "Half"), "\"open");
  EXPECT_EQ(Ini_NumberOfItems(doc.get(), "Dir"), 4);
  EXPECT_EQ(Ini_NumberOfItems(doc.get(), "Other"), 0);
}

TEST(IniReader, LineEndingsPairOnlyAsCarriageReturnAndLineFeed) {
  // CR LF and LF CR end one line; CR CR and LF LF add an empty line, which decides whether the
  // first comment is the document's leading comment or the section's.
  EXPECT_EQ(writtenText(readDocument(";a\r\n[S]\n\rK=1\0L=2"s).get()),
            ";a\r\n[S]\r\nK = 1\r\nL = 2\r\n\r\n");
  EXPECT_EQ(writtenText(readDocument(";a\r\r[S]").get()), ";a\r\n\r\n[S]\r\n\r\n");
  EXPECT_EQ(writtenText(readDocument(";a\n\n[S]").get()), ";a\r\n\r\n[S]\r\n\r\n");
  EXPECT_EQ(writtenText(readDocument(";a\0[S]"s).get()), ";a\r\n[S]\r\n\r\n");
}

TEST(IniReader, LinesAreCutAt255Characters) {
  std::string value300(300, 'v');
  IniDocumentPtr doc = readDocument("[S]\r\nK=" + value300 + "\r\nNext=1\r\n");
  EXPECT_EQ(getString(doc.get(), "S", "K"), std::string(253, 'v'));  // "K=" plus 253
  EXPECT_EQ(getString(doc.get(), "S", "Next"), "1");

  // A megabyte line is skipped past without being kept, and the next line still reads.
  std::string huge(4 << 20, 'x');
  doc = readDocument("[S]\r\nA=1" + huge + "\nB=2");
  EXPECT_EQ(getString(doc.get(), "S", "A").size(), 255u - 2);
  EXPECT_EQ(getString(doc.get(), "S", "B"), "2");
}

TEST(IniReader, CommentsAttachToWhatFollowsThem) {
  IniDocumentPtr doc = readDocument(
      "; leading 1\r\n; leading 2\r\n\r\n"
      "; dropped with the item\r\nOrphan=1\r\n"
      "  ; for the section\r\n[S]\r\n"
      "; for A\r\n\r\n; also for A\r\nA=1\r\n"
      "; trailing\r\n");
  EXPECT_EQ(writtenText(doc.get()),
            "; leading 1\r\n; leading 2\r\n\r\n"
            "  ; for the section\r\n[S]\r\n"
            "; for A\r\n; also for A\r\nA = 1\r\n\r\n"
            "; trailing\r\n");
}

TEST(IniReader, MultiLineItemsAreJoined) {
  IniDocumentPtr doc = readDocument(
      "[S]\r\n"
      "Tag Line0001 = \"abc\"\r\n"
      "Tag Line0002 = \"def\"\r\n"
      "tag line0003 = ghi\r\n"  // not a line: the marker is " Line"
      "Solo Line1 = x\r\n"
      "Other Line0002 = y\r\n"  // another item's line does not extend the run
      "Lone Line0002 = z\r\n");
  EXPECT_EQ(getString(doc.get(), "S", "Tag"), "abcdef");
  EXPECT_EQ(getString(doc.get(), "S", "Solo"), "x");
  EXPECT_EQ(getString(doc.get(), "S", "Other Line0002"), "y");
  EXPECT_EQ(getString(doc.get(), "S", "Lone Line0002"), "z");
  EXPECT_EQ(Ini_NumberOfItems(doc.get(), "S"), 5);
}

TEST(IniReader, TokensChangeTheGrammar) {
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_EQ(Ini_SetTokens(doc.get(), '<', '>', ":=", "#"), 0);
  initest::TempFolder folder;
  initest::writeFile(folder.file("t.ini"), "# note\n<Sec>\nA := 1\nB = 2\n; not a comment\n");
  ASSERT_EQ(Ini_ReadFromFile(doc.get(), folder.file("t.ini").c_str()), 0);
  EXPECT_EQ(getString(doc.get(), "Sec", "A"), "1");
  EXPECT_EQ(Ini_ItemExists(doc.get(), "Sec", "B"), 0);
  EXPECT_EQ(writtenText(doc.get()), "# note\r\n<Sec>\r\nA := 1\r\n\r\n");
}

TEST(IniReader, ReadingAddsToTheDocument) {
  initest::TempFolder folder;
  initest::writeFile(folder.file("a.ini"), "[S]\nA=1\n");
  initest::writeFile(folder.file("b.ini"), "[S]\nA=2\nB=3\n");
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_EQ(Ini_ReadFromFile(doc.get(), folder.file("a.ini").c_str()), 0);
  ASSERT_EQ(Ini_ReadFromFile(doc.get(), folder.file("b.ini").c_str()), 0);
  EXPECT_EQ(Ini_NumberOfSections(doc.get()), 2);
  EXPECT_EQ(getString(doc.get(), "S", "A"), "1");  // the first section of a name wins
  EXPECT_EQ(Ini_ItemExists(doc.get(), "S", "B"), 0);
}

TEST(IniReader, WhatIsNotARegularFileCannotBeOpened) {
  initest::TempFolder folder;
  IniDocumentPtr doc(Ini_New(0));
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), folder.file("missing.ini").c_str()), kIniCannotOpenFile);
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), folder.path().c_str()), kIniCannotOpenFile);
  std::string fifo = folder.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), fifo.c_str()), kIniCannotOpenFile);  // would block
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), "/dev/zero"), kIniCannotOpenFile);   // would never end
  EXPECT_EQ(Ini_ReadFromFile(nullptr, "x"), kIniNullArgument);
  EXPECT_EQ(Ini_NumberOfSections(doc.get()), 0);
}

TEST(IniReader, BinaryGarbageReadsWithoutHarm) {
  std::string garbage;
  uint32_t state = 12345;
  for (int i = 0; i < 1 << 20; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 24);
  }
  IniDocumentPtr doc = readDocument("[S]\n" + garbage + "\n[T]\nK=\"unterminated\n");
  EXPECT_EQ(Ini_SectionExists(doc.get(), "T"), 1);
  EXPECT_EQ(getString(doc.get(), "T", "K"), "\"unterminated");
  // Whatever was read writes back and reads again with the same sections.
  IniDocumentPtr again = readDocument(writtenText(doc.get()));
  EXPECT_EQ(Ini_NumberOfSections(again.get()), Ini_NumberOfSections(doc.get()));
}

TEST(IniReader, ManySectionsStayInOrderAndFindable) {
  std::string text;
  for (int i = 0; i < 100000; ++i)
    text += "[S" + std::to_string(i) + "]\nK=" + std::to_string(i) + "\n";
  IniDocumentPtr doc = readDocument(text);
  ASSERT_EQ(Ini_NumberOfSections(doc.get()), 100000);
  const char* name = nullptr;
  ASSERT_EQ(Ini_NthSectionName(doc.get(), 99999, &name), 1);
  EXPECT_STREQ(name, "S99998");
  int32_t value = 0;
  ASSERT_EQ(Ini_GetInt(doc.get(), "s77777", "k", &value), 1);
  EXPECT_EQ(value, 77777);
}

}  // namespace
