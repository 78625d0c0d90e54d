// Lifetimes: handles that outlive their object or their place in the tree, objects that
// outlive their handles, the object's reference counting and table layout. The sanitizer
// build turns any mistake here into a failure.

#include <cstdint>
#include <cstring>

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

INelvish* newObject() {
  void* object = nullptr;
  EXPECT_TRUE(CreateObject(CLSID_Nelvish, IID_INelvish, &object));
  return static_cast<INelvish*>(object);
}

using NelvishHandles = NelvishTest;

TEST_F(NelvishHandles, AHandleKeepsItsDocumentAfterTheObjectIsReleased) {
  INelvish* first = newObject();
  XmlNode root = first->CreateDocument("root");
  XmlNode child = first->AppendElement(root, "child");
  first->Release();
  xml->AppendText(child, "still here");
  EXPECT_EQ(xml->GetXml(root), "<root><child>still here</child></root>");
}

TEST_F(NelvishHandles, HandlesOnAReplacedDocumentStayUsable) {
  XmlNode old = xml->CreateDocument("old");
  loadText("<new/>");
  XmlNode created = xml->CreateDocument("created");
  EXPECT_EQ(xml->GetNodeName(old), "old");
  EXPECT_EQ(xml->GetNodeName(xml->GetRootElement()), "created");
  EXPECT_TRUE(xml->GetRootElement() == created);
}

TEST_F(NelvishHandles, RemovedNodesStayUsableWhileHandlesPointIntoThem) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode branch = xml->AppendElement(root, "branch");
  XmlNode leaf = xml->AppendElement(branch, "leaf");
  XmlNode text = xml->AppendText(leaf, "t");
  xml->RemoveNode(branch);
  branch = XmlNode();  // the subtree lives on through the handles below it
  xml->RemoveNode(leaf);
  xml->AppendText(leaf, "u");
  EXPECT_EQ(xml->GetXml(leaf), "<leaf>tu</leaf>");
  EXPECT_EQ(xml->GetText(text), "t");
  leaf = XmlNode();
  EXPECT_EQ(xml->GetText(xml->GetNextSibling(text)), "u");
}

TEST_F(NelvishHandles, ReplacedTextAndAttributeValuesStayReadable) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode oldText = xml->AppendText(root, "old");
  XmlNode child = xml->AppendElement(root, "child");
  xml->SetAttribute(root, "a", "first");
  XmlNode oldValue = xml->GetFirstChild(xml->SelectNodes(root, "@a")[0]);
  for (int i = 0; i < 3; ++i) {
    xml->SetElementText(root, "new " + std::to_string(i));
    xml->SetAttribute(root, "a", "value " + std::to_string(i));
  }
  EXPECT_EQ(xml->GetText(oldText), "old");
  EXPECT_EQ(xml->GetText(oldValue), "first");
  EXPECT_EQ(xml->GetNodeName(child), "child");
  EXPECT_EQ(xml->GetXml(root), "<root a=\"value 2\">new 2</root>");
}

TEST_F(NelvishHandles, CopiesCompareEqualAndEmptyHandlesAreFalse) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode copy = root;
  XmlNode again = xml->GetRootElement();
  EXPECT_TRUE(copy == root);
  EXPECT_TRUE(again == root);
  EXPECT_FALSE(XmlNode());
  EXPECT_TRUE(XmlNode() == XmlNode());
  EXPECT_FALSE(root == XmlNode());
}

TEST(NelvishObject, CreateObjectAnswersOnlyItsClassAndInterfaces) {
  void* object = reinterpret_cast<void*>(1);
  GUID otherClass = CLSID_Nelvish;
  otherClass.Data1 ^= 1;
  EXPECT_FALSE(CreateObject(otherClass, IID_INelvish, &object));
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(CreateObject(CLSID_Nelvish, CLSID_Nelvish, &object));
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(CreateObject(CLSID_Nelvish, IID_INelvish, nullptr));

  ASSERT_TRUE(CreateObject(CLSID_Nelvish, IID_IUnknown, &object));
  auto* unknown = static_cast<IUnknown*>(object);
  void* nelvish = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_INelvish, &nelvish), S_OK);
  EXPECT_EQ(nelvish, object);
  EXPECT_EQ(unknown->QueryInterface(otherClass, &nelvish), E_NOINTERFACE);
  EXPECT_EQ(nelvish, nullptr);
  EXPECT_EQ(unknown->AddRef(), 3);
  EXPECT_EQ(unknown->Release(), 2);
  EXPECT_EQ(unknown->Release(), 1);
  EXPECT_EQ(unknown->Release(), 0);
}

// The table slot of a virtual member function: under the Itanium C++ ABI a pointer to one holds
// 1 + its byte offset in the table.
template <typename Function>
size_t slotOf(Function function) {
  uintptr_t word = 0;
  std::memcpy(&word, &function, sizeof word);
  return (word - 1) / sizeof(void*);
}

TEST(NelvishObject, TheOperationsSitInTheirTableSlots) {
  EXPECT_EQ(slotOf(&INelvish::QueryInterface), 0u);
  EXPECT_EQ(slotOf(&INelvish::Release), 2u);
  EXPECT_EQ(slotOf(&INelvish::CreateDocument), 3u);
  EXPECT_EQ(slotOf(&INelvish::RemoveNode), 10u);
  EXPECT_EQ(slotOf(&INelvish::LoadFile), 11u);
  EXPECT_EQ(slotOf(&INelvish::GetAttributeAt), 15u);
  EXPECT_EQ(slotOf(&INelvish::SelectNodes), 18u);
  EXPECT_EQ(slotOf(&INelvish::GetXml), 22u);
  EXPECT_EQ(slotOf(&INelvish::GetNodeName), 26u);
  EXPECT_EQ(slotOf(&INelvish::SaveFile), 27u);
}

}  // namespace
}  // namespace nelvishtest
