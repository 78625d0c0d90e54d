// Namespaces: elements made in their parent's namespace, elements kept out of a default
// namespace, declarations set as attributes, and the same meaning after a save and a load.

#include <stdexcept>

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

class NelvishNamespaces : public NelvishTest {
 protected:
  // Saves the document, loads it back and gives the root's markup.
  std::string reloaded() {
    EXPECT_EQ(xml->SaveFile(path("saved.xml")), 0);
    EXPECT_EQ(xml->LoadFile(path("saved.xml")), 0);
    return xml->GetXml(xml->GetRootElement());
  }
};

TEST_F(NelvishNamespaces, ChildrenJoinTheParentsDefaultNamespaceWithoutNewDeclarations) {
  loadText("<root xmlns='urn:a'><list/></root>");
  XmlNode list = xml->GetFirstChild(xml->GetRootElement());
  XmlNode item = xml->AppendElementInParentNamespace(list, "item");
  EXPECT_EQ(xml->GetNodeName(item), "item");
  EXPECT_EQ(xml->GetAttributeCount(item), 0);
  EXPECT_EQ(reloaded(), "<root xmlns=\"urn:a\"><list><item/></list></root>");
  XmlNode root = xml->GetRootElement();
  xml->SetAttribute(root, "xmlns:a", "urn:a");
  EXPECT_EQ(xml->SelectNodes(root, "a:list/a:item").size(), 1u);
}

TEST_F(NelvishNamespaces, PrefixedParentsLendTheirPrefixOrGetADeclaration) {
  loadText("<p:root xmlns:p='urn:p'/>");
  XmlNode root = xml->GetRootElement();
  XmlNode same = xml->AppendElementInParentNamespace(root, "p:child");
  XmlNode unprefixed = xml->AppendElementInParentNamespace(root, "child");
  XmlNode otherPrefix = xml->AppendElementInParentNamespace(root, "q:child");
  EXPECT_EQ(xml->GetNodeName(same), "p:child");
  EXPECT_EQ(xml->GetXml(unprefixed), "<child xmlns=\"urn:p\"/>");
  EXPECT_EQ(xml->GetXml(otherPrefix), "<q:child xmlns:q=\"urn:p\"/>");
  std::string expected =
      "<p:root xmlns:p=\"urn:p\"><p:child/><child xmlns=\"urn:p\"/>"
      "<q:child xmlns:q=\"urn:p\"/></p:root>";
  EXPECT_EQ(reloaded(), expected);
  EXPECT_EQ(xml->SelectNodes(xml->GetRootElement(), "p:child").size(), 3u);
}

TEST_F(NelvishNamespaces, AParentWithoutNamespaceGivesAPlainElement) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode child = xml->AppendElementInParentNamespace(root, "child");
  EXPECT_EQ(xml->GetXml(root), "<root><child/></root>");
  EXPECT_THROW(xml->AppendElementInParentNamespace(child, "p:x"), std::runtime_error);
}

TEST_F(NelvishNamespaces, PlainElementsBelowADefaultNamespaceStayOutOfIt) {
  loadText("<root xmlns='urn:a'/>");
  XmlNode plain = xml->AppendElement(xml->GetRootElement(), "plain");
  xml->AppendElement(plain, "inner");
  EXPECT_EQ(xml->GetXml(plain), "<plain xmlns=\"\"><inner/></plain>");
  EXPECT_EQ(reloaded(), "<root xmlns=\"urn:a\"><plain xmlns=\"\"><inner/></plain></root>");
  EXPECT_EQ(xml->SelectNodes(xml->GetRootElement(), "plain/inner").size(), 1u);
}

TEST_F(NelvishNamespaces, DeclarationsSetAsAttributesBindPrefixes) {
  XmlNode root = xml->CreateDocument("root");
  xml->AppendElement(root, "early");
  xml->SetAttribute(root, "xmlns", "urn:default");
  xml->SetAttribute(root, "xmlns:q", "urn:q");
  XmlNode q = xml->AppendElement(root, "q:item");
  xml->SetAttribute(q, "q:flag", "on");
  XmlNode joined = xml->AppendElementInParentNamespace(root, "joined");
  EXPECT_EQ(xml->GetAttributes(root),
            (std::map<std::string, std::string>{{"xmlns", "urn:default"}, {"xmlns:q", "urn:q"}}));
  EXPECT_EQ(xml->GetXml(joined), "<joined xmlns=\"urn:default\"/>");
  EXPECT_EQ(reloaded(),
            "<root xmlns=\"urn:default\" xmlns:q=\"urn:q\"><early xmlns=\"\"/>"
            "<q:item q:flag=\"on\"/><joined/></root>");
  XmlNode reloadedRoot = xml->GetRootElement();
  EXPECT_EQ(xml->SelectNodes(reloadedRoot, "early").size(), 1u);
  EXPECT_EQ(xml->GetAttribute(xml->SelectNodes(reloadedRoot, "q:item")[0], "q:flag"), "on");
}

TEST_F(NelvishNamespaces, ConflictingDeclarationsAreRefused) {
  loadText("<p:root xmlns:p='urn:p' xmlns='urn:d'><child/></p:root>");
  XmlNode root = xml->GetRootElement();
  XmlNode child = xml->GetFirstChild(root);
  xml->SetAttribute(root, "xmlns:p", "urn:p");  // the same declaration again changes nothing
  EXPECT_THROW(xml->SetAttribute(root, "xmlns:p", "urn:other"), std::runtime_error);
  EXPECT_THROW(xml->SetAttribute(child, "xmlns", "urn:other"), std::runtime_error);
  EXPECT_THROW(xml->SetAttribute(root, "xmlns:e", ""), std::runtime_error);
  EXPECT_THROW(xml->SetAttribute(root, "xmlns:xmlns", "urn:x"), std::runtime_error);
  EXPECT_THROW(xml->SetAttribute(root, "xmlns:xml", "urn:x"), std::runtime_error);
  EXPECT_EQ(xml->GetAttributeCount(root), 2);
}

TEST_F(NelvishNamespaces, ACutOutElementKeepsTheNamespacesItBorrowed) {
  loadText("<root xmlns:p='urn:p'><p:a><p:b/></p:a></root>");
  XmlNode root = xml->GetRootElement();
  XmlNode b = xml->SelectNodes(root, "p:a/p:b")[0];
  xml->RemoveNode(xml->GetFirstChild(root));
  xml->RemoveNode(root);
  EXPECT_EQ(xml->GetNodeName(b), "p:b");
  EXPECT_EQ(xml->GetXml(b), "<p:b xmlns:p=\"urn:p\"/>");
}

}  // namespace
}  // namespace nelvishtest
