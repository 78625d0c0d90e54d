// Walking and querying loaded documents: DOM names and types, attributes with namespace
// declarations among them, text, siblings, XPath and markup.

#include <stdexcept>

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

class NelvishReading : public NelvishTest {
 protected:
  void SetUp() override {
    loadText(
        "<?xml version='1.0'?>\n"
        "<!DOCTYPE config>\n"
        "<?setup mode='fast'?>\n"
        "<config xmlns:p='urn:p' version='2' Name='upper'>\n"
        "  <item id='1'>first</item>\n"
        "  <item id='2'><![CDATA[<raw>]]></item>\n"
        "  <!-- remark -->\n"
        "  <p:extra p:kind='k'>x<b>y</b>z</p:extra>\n"
        "  <empty/>\n"
        "  <spaced xml:space='preserve'>  </spaced>\n"
        "</config>\n");
    root = xml->GetRootElement();
  }

  XmlNode one(const std::string& xpath) {
    std::vector<XmlNode> nodes = xml->SelectNodes(root, xpath);
    EXPECT_EQ(nodes.size(), 1u) << xpath;
    return nodes.empty() ? XmlNode() : nodes[0];
  }

  XmlNode root;
};

TEST_F(NelvishReading, NamesAndTypesFollowTheDom) {
  XmlNode document = one("/");
  struct Expected {
    XmlNode node;
    std::string name;
    int type;
  };
  for (const Expected& expected : std::vector<Expected>{
           {document, "#document", 9},
           {xml->GetFirstChild(document), "config", 10},
           {xml->GetNextSibling(xml->GetFirstChild(document)), "setup", 7},
           {root, "config", 1},
           {one("@version"), "version", 2},
           {one("item[1]/text()"), "#text", 3},
           {one("item[2]/text()"), "#cdata-section", 4},
           {one("comment()"), "#comment", 8},
           {one("p:extra"), "p:extra", 1},
           {one("p:extra/@p:kind"), "p:kind", 2},
       }) {
    EXPECT_EQ(xml->GetNodeName(expected.node), expected.name);
    EXPECT_EQ(xml->GetNodeType(expected.node), expected.type) << expected.name;
  }
}

TEST_F(NelvishReading, WhitespaceOnlyTextIsDroppedUnlessPreserved) {
  EXPECT_EQ(xml->GetChildNames(root),
            (std::vector<std::string>{"item", "item", "#comment", "p:extra", "empty", "spaced"}));
  EXPECT_TRUE(xml->GetChildNames(one("empty")).empty());
  EXPECT_EQ(xml->GetText(one("spaced")), "  ");
}

TEST_F(NelvishReading, AttributesIncludeNamespaceDeclarationsAndMatchExactly) {
  std::map<std::string, std::string> expected{
      {"xmlns:p", "urn:p"}, {"version", "2"}, {"Name", "upper"}};
  EXPECT_EQ(xml->GetAttributes(root), expected);
  EXPECT_EQ(xml->GetAttributeCount(root), 3);
  EXPECT_EQ(xml->GetAttribute(root, "Name"), "upper");
  EXPECT_EQ(xml->GetAttribute(root, "name"), "");
  EXPECT_EQ(xml->GetAttribute(root, "xmlns:p"), "urn:p");
  EXPECT_EQ(xml->GetAttribute(one("p:extra"), "p:kind"), "k");
  EXPECT_EQ(xml->GetAttribute(one("p:extra"), "kind"), "");

  std::pair<std::string, std::string> pair;
  ASSERT_EQ(xml->GetAttributeAt(root, 0, pair), 0);
  EXPECT_EQ(pair, std::make_pair(std::string("xmlns:p"), std::string("urn:p")));
  ASSERT_EQ(xml->GetAttributeAt(root, 2, pair), 0);
  EXPECT_EQ(pair, std::make_pair(std::string("Name"), std::string("upper")));
  EXPECT_EQ(xml->GetAttributeAt(root, 3, pair), 1);
  EXPECT_EQ(xml->GetAttributeAt(root, -1, pair), 1);
  EXPECT_EQ(xml->GetAttributeAt(one("comment()"), 0, pair), 1);
  EXPECT_EQ(xml->GetAttributeCount(one("comment()")), 0);
  EXPECT_TRUE(xml->GetAttributes(one("item[1]/text()")).empty());
}

TEST_F(NelvishReading, TextOfEachKindOfNode) {
  EXPECT_EQ(xml->GetText(one("p:extra")), "xyz");
  EXPECT_EQ(xml->GetText(one("item[2]")), "<raw>");
  EXPECT_EQ(xml->GetText(one("@version")), "2");
  EXPECT_EQ(xml->GetText(one("comment()")), " remark ");
  EXPECT_EQ(xml->GetText(xml->GetNextSibling(xml->GetFirstChild(one("/")))), "mode='fast'");
  EXPECT_EQ(xml->GetText(one("empty")), "");
}

TEST_F(NelvishReading, ChildrenAndSiblings) {
  std::vector<XmlNode> children = xml->GetChildNodes(root);
  ASSERT_EQ(children.size(), 6u);
  EXPECT_TRUE(xml->GetFirstChild(root) == children[0]);
  for (size_t i = 0; i + 1 < children.size(); ++i) {
    EXPECT_TRUE(xml->GetNextSibling(children[i]) == children[i + 1]);
  }
  EXPECT_FALSE(xml->GetNextSibling(children.back()));
  EXPECT_FALSE(xml->GetFirstChild(one("empty")));
  EXPECT_FALSE(xml->GetNextSibling(one("@version")));  // attributes have no siblings
  EXPECT_TRUE(xml->GetChildNodes(xml->GetFirstChild(one("/"))).empty());
  EXPECT_EQ(xml->GetChildNames(one("@version")), std::vector<std::string>{"#text"});
}

TEST_F(NelvishReading, SelectNodesUsesTheGivenNodeAsContext) {
  XmlNode item = one("item[2]");
  EXPECT_EQ(xml->GetText(xml->SelectNodes(item, "@id")[0]), "2");
  EXPECT_EQ(xml->SelectNodes(item, "../item").size(), 2u);
  EXPECT_EQ(xml->SelectNodes(root, "//item[@id='1']/text()").size(), 1u);
  EXPECT_EQ(xml->SelectNodes(root, "processing-instruction() | //comment()").size(), 1u);
  EXPECT_EQ(xml->SelectNodes(root, "//processing-instruction('setup')").size(), 1u);
  EXPECT_TRUE(xml->SelectNodes(root, "missing").empty());
  // Namespace nodes only live as long as the query: they are left out.
  EXPECT_TRUE(xml->SelectNodes(root, "namespace::*").empty());
  EXPECT_EQ(xml->SelectNodes(root, "namespace::* | item").size(), 2u);
}

TEST_F(NelvishReading, SelectNodesRefusesBadExpressionsAndNonNodeResults) {
  std::vector<std::string> bad{"item[", "///",  "undeclared:item",     "count(item)",
                               "1 + 1", "\xC3", std::string(2000, '(')};
  for (const std::string& expression : bad) {
    EXPECT_THROW(xml->SelectNodes(root, expression), std::runtime_error) << expression;
  }
}

TEST_F(NelvishReading, MarkupOfNodes) {
  EXPECT_EQ(xml->GetXml(one("item[1]")), "<item id=\"1\">first</item>");
  EXPECT_EQ(xml->GetNodeXml(one("item[2]")), "<item id=\"2\"><![CDATA[<raw>]]></item>");
  EXPECT_EQ(xml->GetXml(one("p:extra")),
            "<p:extra xmlns:p=\"urn:p\" p:kind=\"k\">x<b>y</b>z</p:extra>");
  EXPECT_EQ(xml->GetXml(one("@version")), "version=\"2\"");
  EXPECT_EQ(xml->GetXml(one("comment()")), "<!-- remark -->");
  std::string document = xml->GetXml(one("/"));
  EXPECT_EQ(document.rfind("<?xml version=\"1.0\"?>\n<!DOCTYPE config>\n<?setup mode='fast'?>\n"
                           "<config ",
                           0),
            0u)
      << document;
}

TEST_F(NelvishReading, EmptyHandlesAreRefused) {
  EXPECT_THROW(xml->GetNodeName(XmlNode()), std::runtime_error);
  EXPECT_THROW(xml->GetText(XmlNode()), std::runtime_error);
  EXPECT_THROW(xml->SelectNodes(XmlNode(), "*"), std::runtime_error);
  EXPECT_THROW(xml->GetChildNames(XmlNode()), std::runtime_error);
}

}  // namespace
}  // namespace nelvishtest
