// The profile file in memory: how lines are read, which section and key a name finds, and that
// an edit changes only the lines it touches.

#include "profile_document.h"

#include <gtest/gtest.h>

using wexley::ProfileDocument;
using wexley::ProfileLine;
using Kind = wexley::ProfileLine::Kind;
using namespace std::string_literals;

namespace {

TEST(WexleyProfileDocument, ClassifiesEveryKindOfLine) {
  ProfileDocument doc = ProfileDocument::parse(
      "orphan=1\n"
      "  ; a comment\n"
      "[ Main ]  trailing words\n"
      "  Key  =  Value  \n"
      "[broken\n"
      "bare word\n"
      "k=v=w\n"
      "\t\n"
      "[a]b]\n"
      "[]\n");
  const auto& lines = doc.lines();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0].kind, Kind::kEntry);  // before any header: an entry nothing reads
  EXPECT_EQ(lines[1].kind, Kind::kComment);
  EXPECT_EQ(lines[2].kind, Kind::kSection);
  EXPECT_EQ(lines[2].name, "Main");
  EXPECT_EQ(lines[3].name, "Key");
  EXPECT_EQ(lines[3].value, "Value");
  EXPECT_EQ(lines[4].kind, Kind::kEntry);  // a '[' without ']' is no header
  EXPECT_EQ(lines[4].name, "[broken");
  EXPECT_FALSE(lines[5].hasEquals);
  EXPECT_EQ(lines[5].name, "bare word");
  EXPECT_EQ(lines[6].name, "k");
  EXPECT_EQ(lines[6].value, "v=w");
  EXPECT_EQ(lines[7].kind, Kind::kBlank);
  EXPECT_EQ(lines[8].name, "a]b");  // up to the last ']'
  EXPECT_EQ(lines[9].kind, Kind::kSection);
  EXPECT_EQ(lines[9].name, "");
}

TEST(WexleyProfileDocument, KeepsEveryByteOfWhatItReads) {
  const std::string inputs[] = {
      "",
      "no break at the end",
      "[A]\r\nx=1\r\n",
      "[A]\nx=1\r\n\r\ry=2\n\n",
      "\xEF\xBB\xBF[A]\nx=\xE5\x80\xBC\n",
      "[A\0B]\n\xFF\xFE=\x01\n"s,
  };
  for (const std::string& input : inputs) {
    EXPECT_EQ(ProfileDocument::parse(input).bytes(), input);
  }
}

TEST(WexleyProfileDocument, BreaksLinesAtLfCrLfAndLoneCr) {
  ProfileDocument doc = ProfileDocument::parse("[A]\rx=1\r\ny=2\nz=3");
  ASSERT_EQ(doc.lines().size(), 4u);
  EXPECT_EQ(doc.lines()[0].ending, "\r");
  EXPECT_EQ(doc.lines()[1].ending, "\r\n");
  EXPECT_EQ(doc.lines()[2].ending, "\n");
  EXPECT_EQ(doc.lines()[3].ending, "");
  EXPECT_EQ(doc.lines()[3].value, "3");
}

TEST(WexleyProfileDocument, AByteOrderMarkIsNotPartOfTheFirstHeader) {
  ProfileDocument doc = ProfileDocument::parse("\xEF\xBB\xBF[A]\nx=1\n");
  EXPECT_TRUE(doc.findSection("A").has_value());
}

TEST(WexleyProfileDocument, NamesMatchIgnoringAsciiCaseOnly) {
  EXPECT_TRUE(wexley::sameName("Main", " mAIN\t"));
  EXPECT_FALSE(wexley::sameName("Main", "Mai"));
  // Other bytes compare exactly: "É" and "é" are different names.
  EXPECT_FALSE(wexley::sameName("\xC3\x89", "\xC3\xA9"));
  EXPECT_TRUE(wexley::sameName("\xC3\x89", "\xC3\x89"));
}

TEST(WexleyProfileDocument, TheFirstOfDuplicateSectionsAndKeysIsFound) {
  ProfileDocument doc = ProfileDocument::parse("[A]\nk=1\nK=2\n[a]\nk=3\n");
  ASSERT_EQ(doc.findSection("A"), 0u);
  EXPECT_EQ(doc.findEntry(0, "k"), 1u);
  EXPECT_EQ(doc.sectionEnd(0), 3u);
  EXPECT_FALSE(doc.findEntry(0, "missing").has_value());
  EXPECT_EQ(doc.entries("a").size(), 2u);
  EXPECT_TRUE(doc.entries("none").empty());
}

TEST(WexleyProfileDocument, ChangingAValueRewritesOnlyItsLine) {
  ProfileDocument doc = ProfileDocument::parse("; head\n[Main]\n  NAME = old ; x\n\tother=1\n");
  doc.setValue("main", "name", "new");
  // The key keeps its spelling; the written line ends in CR LF, the others keep their bytes.
  EXPECT_EQ(doc.bytes(), "; head\n[Main]\nNAME=new\r\n\tother=1\n");
}

TEST(WexleyProfileDocument, NewKeysGoAfterTheLastEntryOfTheirSection) {
  ProfileDocument doc = ProfileDocument::parse("[A]\nx=1\n\n; about B\n[B]\ny=2\n");
  doc.setValue("A", " z ", "3");
  EXPECT_EQ(doc.bytes(), "[A]\nx=1\nz=3\r\n\n; about B\n[B]\ny=2\n");
  ProfileDocument empty = ProfileDocument::parse("[A]\n\n[B]\n");
  empty.setValue("A", "k", "v");
  EXPECT_EQ(empty.bytes(), "[A]\nk=v\r\n\n[B]\n");
}

TEST(WexleyProfileDocument, NewSectionsGoAtTheEndOnALineOfTheirOwn) {
  ProfileDocument doc = ProfileDocument::parse("[A]\nx=1");
  doc.setValue("New", "k", "v");
  EXPECT_EQ(doc.bytes(), "[A]\nx=1\r\n[New]\r\nk=v\r\n");
  ProfileDocument empty = ProfileDocument::parse("");
  empty.setValue(" S ", "k", "");
  EXPECT_EQ(empty.bytes(), "[S]\r\nk=\r\n");
}

TEST(WexleyProfileDocument, RemovingAKeyOrASection) {
  ProfileDocument doc = ProfileDocument::parse("top\n[A]\nx=1\ny=2\n\n[B]\nz=3\n[a]\nx=9\n");
  EXPECT_TRUE(doc.removeEntry("a", "X"));
  EXPECT_EQ(doc.bytes(), "top\n[A]\ny=2\n\n[B]\nz=3\n[a]\nx=9\n");
  EXPECT_FALSE(doc.removeEntry("A", "x"));  // only the first section is looked at
  EXPECT_FALSE(doc.removeEntry("none", "x"));
  EXPECT_TRUE(doc.removeSection("A"));
  EXPECT_EQ(doc.bytes(), "top\n[B]\nz=3\n[a]\nx=9\n");
  EXPECT_TRUE(doc.removeSection("a"));
  EXPECT_EQ(doc.bytes(), "top\n[B]\nz=3\n");
  EXPECT_FALSE(doc.removeSection("a"));
}

TEST(WexleyProfileDocument, ReplacingABodyKeepsTheHeaderAndWhatSetsOffTheNextSection) {
  ProfileDocument doc = ProfileDocument::parse("[A]\nx=1\n;inside\ny=2\n\n;about B\n[B]\n");
  EXPECT_TRUE(doc.replaceBody("A", {"p=1", "q=2"}, false));
  EXPECT_EQ(doc.bytes(), "[A]\np=1\r\nq=2\r\n\n;about B\n[B]\n");
  EXPECT_TRUE(doc.replaceBody("A", {}, false));
  EXPECT_EQ(doc.bytes(), "[A]\n\n;about B\n[B]\n");
  EXPECT_FALSE(doc.replaceBody("C", {}, false));
  EXPECT_TRUE(doc.replaceBody("C", {}, true));
  EXPECT_EQ(doc.bytes(), "[A]\n\n;about B\n[B]\n[C]\r\n");
}

}  // namespace
