// Typed get and put: the number and boolean grammar, the result codes, string escaping and the
// string buffer cut.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ini/inifile.h"
#include "ini_test_support.h"

using initest::getString;
using initest::readDocument;
using initest::writtenText;

namespace {

// A document whose section V holds one item "K = <text>" as read from a file.
IniDocumentPtr valueDocument(const std::string& text) {
  return readDocument("[V]\nK=" + text + "\n");
}

int32_t getInt(const std::string& text, int* result) {
  int32_t value = 7;
  *result = Ini_GetInt(valueDocument(text).get(), "V", "K", &value);
  return value;
}

TEST(IniValues, SignedIntegers) {
  int result = 0;
  EXPECT_EQ(getInt("  -12  ", &result), -12);  // the reader trims; the quoted form keeps spaces
  EXPECT_EQ(result, 1);
  EXPECT_EQ(getInt("\" -12 \"", &result), -12);
  EXPECT_EQ(getInt("+2147483647", &result), 2147483647);
  EXPECT_EQ(getInt("-2147483648", &result), std::numeric_limits<int32_t>::min());
  for (const char* bad : {"12abc", "2147483648", "-2147483649", "+-1", "- 1", "1 2", "0x10", "+"}) {
    EXPECT_EQ(getInt(bad, &result), 7) << bad;
    EXPECT_EQ(result, kIniInvalidInt) << bad;
  }
  EXPECT_EQ(getInt("\"  \"", &result), 7);  // only white space counts as absent
  EXPECT_EQ(result, 0);
}

TEST(IniValues, UnsignedIntegers) {
  uint32_t value = 7;
  EXPECT_EQ(Ini_GetUInt(valueDocument("4294967295").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, 4294967295u);
  EXPECT_EQ(Ini_GetUInt(valueDocument("+0").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, 0u);
  for (const char* bad : {"-0", "-1", "4294967296", "99999999999999999999", "1.0"}) {
    EXPECT_EQ(Ini_GetUInt(valueDocument(bad).get(), "V", "K", &value), kIniInvalidUInt) << bad;
  }
}

TEST(IniValues, RealNumbers) {
  double value = 0;
  EXPECT_EQ(Ini_GetDouble(valueDocument("+inf").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, HUGE_VAL);
  EXPECT_EQ(Ini_GetDouble(valueDocument("-INF").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, -HUGE_VAL);
  EXPECT_EQ(Ini_GetDouble(valueDocument("-1.5e3").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, -1500.0);
  for (const char* bad : {"1e999", "1e-999", "1.5x", "\"1.5 \"", "abc"}) {
    EXPECT_EQ(Ini_GetDouble(valueDocument(bad).get(), "V", "K", &value), kIniInvalidDouble) << bad;
  }
}

TEST(IniValues, Booleans) {
  int value = 7;
  EXPECT_EQ(Ini_GetBoolean(valueDocument("true").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(Ini_GetBoolean(valueDocument("FALSE").get(), "V", "K", &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(Ini_GetBoolean(valueDocument("1").get(), "V", "K", &value), kIniInvalidBoolean);
  EXPECT_EQ(Ini_GetBoolean(valueDocument("Truee").get(), "V", "K", &value), kIniInvalidBoolean);
}

TEST(IniValues, AbsentItemsAndNullArgumentsLeaveOutputsAlone) {
  IniDocumentPtr doc = valueDocument("5");
  int32_t value = 7;
  EXPECT_EQ(Ini_GetInt(doc.get(), "Nope", "K", &value), 0);
  EXPECT_EQ(Ini_GetInt(doc.get(), "V", "Nope", &value), 0);
  EXPECT_EQ(value, 7);
  char buffer[8] = "full";
  EXPECT_EQ(Ini_GetStringIntoBuffer(doc.get(), "V", "Nope", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(Ini_GetInt(doc.get(), "V", "K", nullptr), kIniNullArgument);
  EXPECT_EQ(Ini_GetInt(nullptr, "V", "K", &value), kIniNullArgument);
  EXPECT_EQ(Ini_GetStringIntoBuffer(doc.get(), "V", "K", nullptr, 4), kIniNullArgument);
  EXPECT_EQ(Ini_PutString(doc.get(), "V", "K", nullptr), kIniNullArgument);
  EXPECT_EQ(Ini_PutInt(doc.get(), nullptr, "K", 1), kIniNullArgument);
}

TEST(IniValues, PutsWriteTheirExactText) {
  IniDocumentPtr doc(Ini_New(0));
  Ini_PutInt(doc.get(), "P", "Int", -5);
  Ini_PutUInt(doc.get(), "P", "UInt", 4294967295u);
  Ini_PutDouble(doc.get(), "P", "Third", 1.0 / 3);
  Ini_PutDouble(doc.get(), "P", "Tenth", 0.1);
  Ini_PutDouble(doc.get(), "P", "Inf", -HUGE_VAL);
  Ini_PutBoolean(doc.get(), "P", "Yes", 5);
  Ini_PutBoolean(doc.get(), "P", "No", 0);
  Ini_PutString(doc.get(), "P", "Path", "fw\\img");
  EXPECT_EQ(writtenText(doc.get()),
            "[P]\r\nInt = -5\r\nUInt = 4294967295\r\nThird = 0.3333333333333333\r\n"
            "Tenth = 0.1\r\nInf = -inf\r\nYes = True\r\nNo = False\r\n"
            "Path = \"fw\\\\img\"\r\n\r\n");
  double value = 0;
  EXPECT_EQ(Ini_GetDouble(doc.get(), "P", "Inf", &value), 1);
  EXPECT_EQ(value, -HUGE_VAL);
  // The smallest double is written as a tiny number that must read back, not fail.
  Ini_PutDouble(doc.get(), "P", "Tiny", std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(Ini_GetDouble(doc.get(), "P", "Tiny", &value), 1);
  EXPECT_EQ(value, std::numeric_limits<double>::denorm_min());
}

TEST(IniValues, StringsAreEscapedAndUnescaped) {
  IniDocumentPtr doc =
      readDocument("[S]\nPath=\"fw\\\\img\"\nHex=\\x41\\X42\\x4a\\q\\\nShort=a\\x\\x4\n");
  EXPECT_EQ(getString(doc.get(), "S", "Path"), "fw\\img");
  // Only a lower-case x starts a hex escape; a lone backslash at the end stands for itself.
  EXPECT_EQ(getString(doc.get(), "S", "Hex"), "AX42Jq\\");
  EXPECT_EQ(getString(doc.get(), "S", "Short"), "ax\x04");
}

TEST(IniValues, EveryByteSurvivesAPutWriteAndRead) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  all += "\xe4\xb8\xad\xe6\x96\x87";  // UTF-8 passes unchanged
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_EQ(Ini_PutString(doc.get(), "S", "All", all.c_str()), 0);
  std::string text = writtenText(doc.get());
  EXPECT_NE(text.find("\\t\\n\\x0b\\x0c\\r\\x0e"), std::string::npos);
  EXPECT_NE(text.find("\\x1f !\\\"#"), std::string::npos);
  EXPECT_EQ(getString(readDocument(text).get(), "S", "All"), all);
}

TEST(IniValues, StringBufferCutsAtSizeMinusOne) {
  IniDocumentPtr doc = valueDocument("abcdef");
  EXPECT_EQ(getString(doc.get(), "V", "K", 4), "abc");
  EXPECT_EQ(getString(doc.get(), "V", "K", 1), "");
  EXPECT_EQ(getString(doc.get(), "V", "K", 7), "abcdef");
}

}  // namespace
