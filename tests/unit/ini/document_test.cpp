// The document: lookups, duplicate checking, automatic sorting, listing, and the exact text the
// writer gives for what was put.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ini/inifile.h"
#include "ini_test_support.h"

using initest::getString;
using initest::readDocument;
using initest::writtenText;

namespace {

std::vector<std::string> itemNames(IniDocument* doc, const char* section) {
  std::vector<std::string> names;
  const char* name = nullptr;
  for (int n = 1; Ini_NthItemName(doc, section, n, &name) == 1; ++n) names.push_back(name);
  return names;
}

std::vector<std::string> sectionNames(IniDocument* doc) {
  std::vector<std::string> names;
  const char* name = nullptr;
  for (int n = 1; Ini_NthSectionName(doc, n, &name) == 1; ++n) names.push_back(name);
  return names;
}

TEST(IniDocument, LookupsIgnoreCaseAndSurroundingSpaceAndFindTheFirst) {
  IniDocumentPtr doc = readDocument("[Dir]\nPath=a\nPath=b\n[dir]\nOnly=1\n");
  EXPECT_EQ(getString(doc.get(), " DIR ", " path "), "a");
  EXPECT_EQ(Ini_ItemExists(doc.get(), "dir", "Only"), 0);  // in the second Dir only
  EXPECT_EQ(sectionNames(doc.get()), (std::vector<std::string>{"Dir", "dir"}));
  EXPECT_EQ(itemNames(doc.get(), "Dir"), (std::vector<std::string>{"Path", "Path"}));
}

TEST(IniDocument, DuplicateCheckingReplacesEveryItemOfTheNameAtTheFirst) {
  IniDocumentPtr doc = readDocument("[S]\nMode=1\nA=2\nmode=3\nB=4\n");
  ASSERT_EQ(Ini_PutInt(doc.get(), "S", "MODE", 9), 0);
  EXPECT_EQ(itemNames(doc.get(), "S"), (std::vector<std::string>{"MODE", "A", "B"}));
  ASSERT_EQ(Ini_PutInt(doc.get(), "S", "Mode", 10), 0);
  EXPECT_EQ(writtenText(doc.get()), "[S]\r\nMode = 10\r\nA = 2\r\nB = 4\r\n\r\n");

  ASSERT_EQ(Ini_SetDuplicateChecking(doc.get(), 0), 0);
  Ini_PutInt(doc.get(), "S", "A", 5);
  EXPECT_EQ(itemNames(doc.get(), "S"), (std::vector<std::string>{"Mode", "A", "B", "A"}));
  int32_t value = 0;
  Ini_GetInt(doc.get(), "S", "A", &value);
  EXPECT_EQ(value, 2);  // still the first
  ASSERT_EQ(Ini_SetDuplicateChecking(doc.get(), 1), 0);
  Ini_PutInt(doc.get(), "S", "a", 6);  // both A go, the new one takes the first place
  EXPECT_EQ(itemNames(doc.get(), "S"), (std::vector<std::string>{"Mode", "a", "B"}));
}

TEST(IniDocument, NewSectionsAreAppendedOrSorted) {
  IniDocumentPtr plain(Ini_New(0));
  IniDocumentPtr sorted(Ini_New(1));
  for (IniDocument* doc : {plain.get(), sorted.get()}) {
    Ini_PutInt(doc, "b", "z", 1);
    Ini_PutInt(doc, "B", "y", 2);
    Ini_PutInt(doc, "a", "k", 3);
    Ini_PutInt(doc, "C", "k", 4);
  }
  EXPECT_EQ(sectionNames(plain.get()), (std::vector<std::string>{"b", "a", "C"}));
  EXPECT_EQ(itemNames(plain.get(), "b"), (std::vector<std::string>{"z", "y"}));
  EXPECT_EQ(sectionNames(sorted.get()), (std::vector<std::string>{"a", "b", "C"}));
  EXPECT_EQ(itemNames(sorted.get(), "b"), (std::vector<std::string>{"y", "z"}));

  IniDocumentPtr read = readDocument("[b]\nz=1\nY=2\nz2=0\n[A]\nk=3\n[b]\nq=4\n", 1);
  EXPECT_EQ(sectionNames(read.get()), (std::vector<std::string>{"A", "b", "b"}));
  EXPECT_EQ(itemNames(read.get(), "b"), (std::vector<std::string>{"Y", "z", "z2"}));
}

TEST(IniDocument, LongValuesAreWrittenAsNumberedLinesAndReadBackWhole) {
  std::string value;
  for (int i = 0; i < 200; ++i) value += static_cast<char>('a' + i % 26);
  IniDocumentPtr doc(Ini_New(0));
  Ini_PutString(doc.get(), "S", "Tag", value.c_str());
  std::string text = writtenText(doc.get());
  EXPECT_EQ(text, "[S]\r\nTag Line0001 = \"" + value.substr(0, 80) + "\"\r\nTag Line0002 = \"" +
                      value.substr(80, 80) + "\"\r\nTag Line0003 = \"" + value.substr(160) +
                      "\"\r\n\r\n");
  IniDocumentPtr back = readDocument(text);
  EXPECT_EQ(itemNames(back.get(), "S"), (std::vector<std::string>{"Tag"}));
  EXPECT_EQ(getString(back.get(), "S", "Tag"), value);

  // An 80-character value stays on one line.
  Ini_PutString(doc.get(), "S", "Tag", value.substr(0, 80).c_str());
  EXPECT_EQ(writtenText(doc.get()), "[S]\r\nTag = \"" + value.substr(0, 80) + "\"\r\n\r\n");
}

TEST(IniDocument, NamesThatLookLikeNumberedLinesSurviveAWrite) {
  // "Tag Line0001 Line0001" reads as the item "Tag Line0001"; written plainly it would read back
  // as "Tag", and "Tag Line0002" after a split "Tag" would be joined into it.
  IniDocumentPtr doc = readDocument("[S]\nTag Line0001 Line0001=abc\n");
  ASSERT_EQ(itemNames(doc.get(), "S"), (std::vector<std::string>{"Tag Line0001"}));
  Ini_PutString(doc.get(), "S", "Long", std::string(100, 'x').c_str());
  Ini_PutString(doc.get(), "S", "Long Line0003", "tail");
  Ini_PutString(doc.get(), "S", "Empty Line0001", "");
  const std::string text = writtenText(doc.get());
  IniDocumentPtr back = readDocument(text);
  EXPECT_EQ(itemNames(back.get(), "S"),
            (std::vector<std::string>{"Tag Line0001", "Long", "Long Line0003", "Empty Line0001"}))
      << text;
  EXPECT_EQ(getString(back.get(), "S", "Long"), std::string(100, 'x'));
  EXPECT_EQ(getString(back.get(), "S", "Long Line0003"), "tail");
  EXPECT_EQ(writtenText(back.get()), text);
}

TEST(IniDocument, LinesNearTheReadersLimitAreWrittenSoThatTheyReadBack) {
  // A line the reader kept whole must not grow past 255 characters when it is written again:
  // the spaces around the separator go first, then long names get shorter pieces.
  const std::string longName(200, 'n');
  const std::string fullLine = longName + "=\"" + std::string(52, 'v') + "\"";
  ASSERT_EQ(fullLine.size(), 255u);
  IniDocumentPtr doc = readDocument("[S]\n" + fullLine + "\n");
  Ini_PutString(doc.get(), "S", "Wide", std::string(100, 'w').c_str());
  Ini_PutString(doc.get(), "S", std::string(170, 'k').c_str(), std::string(300, 'x').c_str());
  const std::string text = writtenText(doc.get());
  size_t longest = 0;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    longest = std::max(longest, end - at);
  }
  EXPECT_LE(longest, 255u) << text;
  EXPECT_NE(text.find(fullLine + "\r\n"), std::string::npos) << text;
  IniDocumentPtr back = readDocument(text);
  EXPECT_EQ(getString(back.get(), "S", longName.c_str()), std::string(52, 'v'));
  EXPECT_EQ(getString(back.get(), "S", "Wide"), std::string(100, 'w'));
  EXPECT_EQ(getString(back.get(), "S", std::string(170, 'k').c_str()), std::string(300, 'x'));
  EXPECT_EQ(writtenText(back.get()), text);
}

TEST(IniDocument, SplitUnquotedValuesKeepSpacesAtTheCuts) {
  // A value joined from an unquoted first line is unquoted; written unquoted, the spaces at the
  // start of its second line would be trimmed away on reading. The writer quotes every line of
  // such a value instead.
  std::string first = std::string(79, 'a') + "c";
  std::string second = "  " + std::string(40, 'b');
  IniDocumentPtr doc = readDocument("[S]\nV Line1=" + first + "\nV Line2=\"" + second + "\"\n");
  ASSERT_EQ(getString(doc.get(), "S", "V"), first + second);
  EXPECT_EQ(getString(readDocument(writtenText(doc.get())).get(), "S", "V"), first + second);
}

TEST(IniDocument, CommentsAndTokensAreWritten) {
  IniDocumentPtr doc = readDocument("; top\n\n;s1\n;s2\n[S]\n; item\nK=v\n[T]\n;end\n");
  Ini_SetTokens(doc.get(), '{', '}', "<-", nullptr);
  Ini_SetTokens(doc.get(), 0, 0, "", "#");  // zero and empty keep the current tokens
  EXPECT_EQ(writtenText(doc.get()),
            "; top\r\n\r\n;s1\r\n;s2\r\n{S}\r\n; item\r\nK <- v\r\n\r\n{T}\r\n\r\n;end\r\n");
  Ini_SetTokens(doc.get(), 0, 0, "123456789", nullptr);  // at most 7 characters
  EXPECT_NE(writtenText(doc.get()).find("K 1234567 v"), std::string::npos);
}

TEST(IniDocument, LargeSectionsKeepOrderThroughPutsAndRemovals) {
  constexpr int kItems = 100000;
  IniDocumentPtr doc(Ini_New(0));
  for (int i = 0; i < kItems; ++i)
    Ini_PutInt(doc.get(), "Big", ("K" + std::to_string(i)).c_str(), i);
  Ini_PutInt(doc.get(), "Big", "k50000", -1);  // replaces in place
  ASSERT_EQ(Ini_NumberOfItems(doc.get(), "big"), kItems);
  int32_t value = 0;
  for (int i = 0; i < kItems; i += 997) {
    ASSERT_EQ(Ini_GetInt(doc.get(), "Big", ("k" + std::to_string(i)).c_str(), &value), 1);
    ASSERT_EQ(value, i == 50000 ? -1 : i);
  }
  const char* name = nullptr;
  ASSERT_EQ(Ini_NthItemName(doc.get(), "Big", 50001, &name), 1);
  EXPECT_STREQ(name, "k50000");
  ASSERT_EQ(Ini_NthItemName(doc.get(), "Big", 50002, &name), 1);
  EXPECT_STREQ(name, "K50001");
  ASSERT_EQ(Ini_NthItemName(doc.get(), "Big", 3, &name), 1);  // walking back starts again
  EXPECT_STREQ(name, "K2");
  EXPECT_EQ(Ini_NthItemName(doc.get(), "Big", kItems + 1, &name), 0);
  EXPECT_EQ(Ini_NthItemName(doc.get(), "Big", 0, &name), 0);
}

}  // namespace
