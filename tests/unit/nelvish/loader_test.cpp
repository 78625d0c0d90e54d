// The loader on byte buffers, as a fuzzer drives it: refusals come back as clear reasons and
// never reach the handlers of the program around the library.

#include <gtest/gtest.h>
#include <libxml/xmlerror.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "libs/nelvish/loader.h"
#include "libs/nelvish/xpath_select.h"

namespace nelvish {
namespace {

// Parses a copy of exactly `size` bytes, so that a read past the end is caught.
DocOwner parse(const std::string& bytes, size_t size, std::string& error) {
  std::vector<char> exact(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  return parseDocument(exact.data(), exact.size(), error);
}

std::string reasonFor(const std::string& bytes) {
  std::string error;
  DocOwner doc = parse(bytes, bytes.size(), error);
  EXPECT_FALSE(doc) << bytes;
  return error;
}

TEST(NelvishLoader, RefusalsSayWhy) {
  EXPECT_EQ(reasonFor("<!DOCTYPE r [<!ENTITY x 'y'>]><r>&x;</r>"),
            "entity declarations are not accepted (entity 'x')");
  EXPECT_EQ(reasonFor("<!DOCTYPE r SYSTEM 'outside.dtd'><r>&leak;</r>"),
            "entity references are not accepted (entity 'leak')");
  EXPECT_EQ(reasonFor(""), "the document is empty");
  EXPECT_NE(reasonFor("<r>").find("line 1: "), std::string::npos);
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<a>";
  EXPECT_NE(reasonFor(deep).find("depth"), std::string::npos) << reasonFor(deep);
  EXPECT_NE(reasonFor("<?xml version='1.0' encoding='x-none'?><r/>").find("x-none"),
            std::string::npos);
}

TEST(NelvishLoader, AcceptsAnyPrefixOfAValidDocumentOrSaysWhyNot) {
  std::string valid = "<?xml version='1.0'?><r a='1'><b>t</b><!--c--><![CDATA[d]]></r>";
  for (size_t size = 0; size <= valid.size(); ++size) {
    std::string error;
    DocOwner doc = parse(valid, size, error);
    EXPECT_EQ(static_cast<bool>(doc), size == valid.size()) << size;
    EXPECT_EQ(error.empty(), size == valid.size()) << size;
  }
}

TEST(NelvishLoader, ParseAndXPathErrorsNeverReachTheProgramsOwnHandler) {
  int reported = 0;
  xmlSetStructuredErrorFunc(&reported,
                            [](void* count, xmlErrorPtr) { ++*static_cast<int*>(count); });
  std::string error;
  EXPECT_FALSE(parse("<a><b></a>", 10, error));
  DocOwner doc = parse("<a/>", 4, error);
  ASSERT_TRUE(doc);
  EXPECT_THROW(selectNodes(xmlDocGetRootElement(doc.get()), "a["), std::runtime_error);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(reported, 0);
}

}  // namespace
}  // namespace nelvish
