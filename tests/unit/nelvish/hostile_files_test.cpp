// Hostile and broken files: each is refused with LoadFile returning 1, the previous document
// stays, and nothing outside the file is read.

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  return text;
}

std::string entityBomb() {
  std::string text = "<?xml version='1.0'?><!DOCTYPE bomb [<!ENTITY e0 'boom'>";
  for (int i = 1; i < 10; ++i) {
    std::string previous = "&e" + std::to_string(i - 1) + ";";
    std::string ten;
    for (int k = 0; k < 10; ++k) ten += previous;
    text += "<!ENTITY e" + std::to_string(i) + " '" + ten + "'>";
  }
  return text + "]><bomb>&e9;</bomb>";
}

class NelvishHostileFiles : public NelvishTest {
 protected:
  void SetUp() override {
    writeFile("secret.txt", "SECRET");
    writeFile("evil.dtd", "<!ENTITY leak SYSTEM 'secret.txt'>");
    root = xml->CreateDocument("previous");
  }

  void expectRefused(const std::string& label, const std::string& bytes) {
    writeFile("hostile.xml", bytes);
    EXPECT_EQ(xml->LoadFile(path("hostile.xml")), 1) << label;
    EXPECT_TRUE(xml->GetRootElement() == root) << label;
  }

  XmlNode root;
};

TEST_F(NelvishHostileFiles, AreRefusedWithoutTouchingTheDocument) {
  std::string secret = path("secret.txt");
  struct Case {
    const char* label;
    std::string bytes;
  };
  for (const Case& hostile : std::vector<Case>{
           {"entity bomb", entityBomb()},
           {"internal entity", "<!DOCTYPE r [<!ENTITY x 'y'>]><r>&x;</r>"},
           {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM '" + secret + "'>]><r>&x;</r>"},
           {"parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM '" + secret + "'> %p;]><r/>"},
           {"external DTD entity", "<!DOCTYPE r SYSTEM '" + path("evil.dtd") + "'><r>&leak;</r>"},
           {"network DTD", "<!DOCTYPE r SYSTEM 'http://127.0.0.1:9/x.dtd'><r>&leak;</r>"},
           {"deep nesting", nested(100000)},
           {"truncated", "<?xml version='1.0'?><root><item>text</item><ite"},
           {"unclosed", "<root>"},
           {"two roots", "<a/><b/>"},
           {"empty", ""},
           {"only whitespace", " \n\t"},
           {"binary", std::string("\x00\x01\x02\xFF\xFE\x00<", 7)},
           {"invalid UTF-8", "<r>\xC3\x28</r>"},
           {"GB2312 bytes declared UTF-8", "<?xml version='1.0' encoding='UTF-8'?><r>\xD6\xD0</r>"},
           {"unknown encoding", "<?xml version='1.0' encoding='x-none'?><r/>"},
           {"UTF-16 declared without its bytes", "<?xml version='1.0' encoding='UTF-16'?><r/>"},
           {"undeclared prefix", "<p:r/>"},
           {"control character", "<r>&#1;</r>"},
       }) {
    expectRefused(hostile.label, hostile.bytes);
  }
}

TEST_F(NelvishHostileFiles, ADocumentTypeWithoutEntitiesIsAccepted) {
  loadText("<!DOCTYPE r SYSTEM '" + path("evil.dtd") + "'><r>plain</r>");
  EXPECT_EQ(xml->GetText(xml->GetRootElement()), "plain");
  XmlNode doctype = xml->GetFirstChild(xml->SelectNodes(xml->GetRootElement(), "/")[0]);
  EXPECT_EQ(xml->GetNodeType(doctype), kXmlDocumentTypeNode);
  xml->RemoveNode(doctype);
  ASSERT_EQ(xml->SaveFile(path("plain.xml")), 0);
  EXPECT_EQ(readFile("plain.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>plain</r>\n");
  loadText(nested(200));
}

}  // namespace
}  // namespace nelvishtest
