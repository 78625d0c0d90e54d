// Building documents: what each appending and setting operation puts into the tree, what it
// refuses, and that a refused call leaves the document as it was.

#include <stdexcept>

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

using NelvishBuilding = NelvishTest;

TEST_F(NelvishBuilding, CreateDocumentGivesTheRootBelowTheDocument) {
  XmlNode root = xml->CreateDocument("root");
  ASSERT_TRUE(root);
  EXPECT_TRUE(xml->GetRootElement() == root);
  EXPECT_EQ(xml->GetNodeName(root), "root");
  std::vector<XmlNode> document = xml->SelectNodes(root, "/");
  ASSERT_EQ(document.size(), 1u);
  EXPECT_EQ(xml->GetNodeType(document[0]), kXmlDocumentNode);
  EXPECT_TRUE(xml->GetFirstChild(document[0]) == root);
  EXPECT_EQ(xml->GetChildNames(document[0]), std::vector<std::string>{"root"});
}

TEST_F(NelvishBuilding, AppendsElementsTextAndCommentsInOrder) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode item = xml->AppendElement(root, "item");
  xml->AppendText(item, "one");
  xml->AppendComment(root, " note ");
  xml->AppendElement(root, "last");
  EXPECT_EQ(xml->GetXml(root), "<root><item>one</item><!-- note --><last/></root>");
  EXPECT_EQ(xml->GetChildNames(root), (std::vector<std::string>{"item", "#comment", "last"}));
}

TEST_F(NelvishBuilding, TextIsTakenLiterallyAndAppendedTextStaysItsOwnNode) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode first = xml->AppendText(root, "a < b & &amp; \"c\"");
  XmlNode second = xml->AppendText(root, "]]>");
  EXPECT_FALSE(first == second);
  EXPECT_EQ(xml->GetText(first), "a < b & &amp; \"c\"");
  EXPECT_EQ(xml->GetText(second), "]]>");
  EXPECT_EQ(xml->GetChildNames(root), (std::vector<std::string>{"#text", "#text"}));
  EXPECT_EQ(xml->GetXml(root), "<root>a &lt; b &amp; &amp;amp; \"c\"]]&gt;</root>");
}

TEST_F(NelvishBuilding, SetElementTextReplacesEveryChild) {
  XmlNode root = xml->CreateDocument("root");
  xml->AppendElement(root, "child");
  xml->AppendText(root, "old");
  xml->SetElementText(root, "new <text>");
  EXPECT_EQ(xml->GetChildNames(root), std::vector<std::string>{"#text"});
  EXPECT_EQ(xml->GetText(root), "new <text>");
  xml->SetElementText(root, "");
  EXPECT_TRUE(xml->GetChildNames(root).empty());
}

TEST_F(NelvishBuilding, SetAttributeAddsAndReplacesValuesTakenLiterally) {
  XmlNode root = xml->CreateDocument("root");
  xml->SetAttribute(root, "name", "first");
  xml->SetAttribute(root, "other", "x&y<\"'>\n");
  xml->SetAttribute(root, "name", "second");
  EXPECT_EQ(xml->GetAttribute(root, "name"), "second");
  EXPECT_EQ(xml->GetAttribute(root, "other"), "x&y<\"'>\n");
  EXPECT_EQ(xml->GetAttributeCount(root), 2);
  EXPECT_EQ(xml->GetXml(root), "<root name=\"second\" other=\"x&amp;y&lt;&quot;'&gt;&#10;\"/>");
}

TEST_F(NelvishBuilding, RemoveNodeTakesANodeOutOfItsParent) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode gone = xml->AppendElement(root, "gone");
  xml->AppendElement(gone, "inside");
  xml->AppendElement(root, "kept");
  xml->RemoveNode(gone);
  EXPECT_EQ(xml->GetXml(root), "<root><kept/></root>");
  EXPECT_EQ(xml->GetXml(gone), "<gone><inside/></gone>");
  EXPECT_THROW(xml->RemoveNode(gone), std::runtime_error);

  xml->RemoveNode(root);
  EXPECT_FALSE(xml->GetRootElement());
  EXPECT_EQ(xml->SaveFile(path("rootless.xml")), EINVAL);
}

TEST_F(NelvishBuilding, RefusedCallsThrowAndLeaveTheDocumentAsItWas) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode text = xml->AppendText(root, "t");
  std::string before = xml->GetXml(root);
  XmlNode document = xml->SelectNodes(root, "/")[0];
  std::string invalidUtf8 = "\xC3\x28";
  auto refused = [&](auto call) { EXPECT_THROW(call(), std::runtime_error); };

  for (std::string name : {"", "1st", "a b", "a:b:c", "a<b", "\xFF"}) {
    refused([&] { xml->AppendElement(root, name); });
    refused([&] { xml->SetAttribute(root, name, "v"); });
  }
  refused([&] { xml->AppendElement(root, "xmlns:x"); });
  refused([&] { xml->AppendElement(root, "undeclared:name"); });
  refused([&] { xml->SetAttribute(root, "undeclared:name", "v"); });
  refused([&] { xml->AppendText(root, "bell \x07"); });
  refused([&] { xml->AppendText(root, invalidUtf8); });
  refused([&] { xml->AppendText(root, std::string("nul\0inside", 10)); });
  refused([&] { xml->SetElementText(root, "\xED\xA0\x80"); });  // a lone surrogate
  refused([&] { xml->SetAttribute(root, "a", "\x01"); });
  refused([&] { xml->AppendComment(root, "a -- b"); });
  refused([&] { xml->AppendComment(root, "ends with -"); });
  refused([&] { xml->AppendElement(text, "child"); });
  refused([&] { xml->AppendText(document, "text at the top"); });
  refused([&] { xml->AppendElement(document, "secondRoot"); });
  refused([&] { xml->SetElementText(text, "x"); });
  refused([&] { xml->SetAttribute(text, "a", "x"); });
  refused([&] { xml->RemoveNode(document); });
  refused([&] { xml->CreateDocument("bad name"); });
  refused([&] { xml->AppendElement(XmlNode(), "x"); });

  EXPECT_EQ(xml->GetXml(root), before);
  EXPECT_TRUE(xml->GetRootElement() == root);
}

TEST_F(NelvishBuilding, AnAttributeIsChangedThroughItsElementOnly) {
  loadText("<root id='1'/>");
  XmlNode attribute = xml->SelectNodes(xml->GetRootElement(), "@id")[0];
  EXPECT_THROW(xml->RemoveNode(attribute), std::runtime_error);
  xml->SetAttribute(xml->GetRootElement(), "id", "2");
  EXPECT_EQ(xml->GetText(attribute), "2");
}

TEST_F(NelvishBuilding, CommentsMayStandBesideTheRoot) {
  XmlNode root = xml->CreateDocument("root");
  xml->AppendComment(xml->SelectNodes(root, "/")[0], "after the root");
  EXPECT_EQ(xml->GetXml(xml->SelectNodes(root, "/")[0]),
            "<?xml version=\"1.0\"?>\n<root/>\n<!--after the root-->\n");
}

TEST_F(NelvishBuilding, NestingStopsAtTheDepthALoadAcceptsAgain) {
  XmlNode deepest = xml->CreateDocument("level1");
  for (int level = 2; level <= 256; ++level) deepest = xml->AppendElement(deepest, "level");
  EXPECT_THROW(xml->AppendElement(deepest, "tooDeep"), std::runtime_error);
  EXPECT_THROW(xml->AppendElementInParentNamespace(deepest, "tooDeep"), std::runtime_error);
  xml->AppendText(deepest, "bottom");
  ASSERT_EQ(xml->SaveFile(path("deep.xml")), 0);
  ASSERT_EQ(xml->LoadFile(path("deep.xml")), 0);
  EXPECT_EQ(xml->GetText(xml->GetRootElement()), "bottom");
}

}  // namespace
}  // namespace nelvishtest
