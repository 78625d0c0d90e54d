// Nelvish: one reference-counted object holding one XML document, with operations to build,
// walk, query, load and save it. Obtain it with CreateObject(CLSID_Nelvish, IID_INelvish, &p)
// and Release it when done.
//
// Strings are UTF-8. Failures throw std::runtime_error with a readable message (LoadFile and
// SaveFile return a code instead); an operation that fails leaves the document as it was. An
// object and the node handles it gives out are used by one thread at a time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zendral/com.h"

inline constexpr GUID CLSID_Nelvish = {
    0x76FFD449, 0x1561, 0x435C, {0xB8, 0xDE, 0x3C, 0x59, 0xF6, 0x92, 0x94, 0x7C}};
inline constexpr GUID IID_INelvish = {
    0xDA713B22, 0x974F, 0x4B5A, {0xB1, 0xDD, 0x69, 0xEE, 0xD2, 0x62, 0x29, 0x65}};

namespace nelvish {
struct NodeRef;
struct NodeAccess;
}  // namespace nelvish

// A counted handle on one node of a document. Copies share the handle; the node and its whole
// document stay alive while any copy exists, even after the object that gave it out is released
// or has loaded another document. A default-constructed handle is empty.
class XmlNode {
 public:
  XmlNode() = default;

  explicit operator bool() const { return ref_ != nullptr; }

  // True when both handles name the same node (two empty handles are equal).
  __attribute__((visibility("default"))) bool operator==(const XmlNode& other) const;

 private:
  friend struct nelvish::NodeAccess;
  explicit XmlNode(std::shared_ptr<const nelvish::NodeRef> ref) : ref_(std::move(ref)) {}

  std::shared_ptr<const nelvish::NodeRef> ref_;
};

// DOM node type numbers answered by GetNodeType.
enum XmlNodeType : int {
  kXmlElementNode = 1,
  kXmlAttributeNode = 2,
  kXmlTextNode = 3,
  kXmlCDataNode = 4,
  kXmlEntityReferenceNode = 5,
  kXmlProcessingInstructionNode = 7,
  kXmlCommentNode = 8,
  kXmlDocumentNode = 9,
  kXmlDocumentTypeNode = 10,
};

// The order of the operations is the layout of the interface's table (slots 3 to 27 after
// those of IUnknown): callers built against it depend on it.
struct INelvish : IUnknown {
  // Starts a new document: the declaration (version 1.0, encoding gb2312, written when saved)
  // and a root element with the given name. Gives back the root. Handles on the previous
  // document stay valid.
  virtual XmlNode CreateDocument(const std::string& rootName) = 0;
  // Appends a new element to `parent`: an unprefixed name is in no namespace, a prefixed one in
  // the namespace its prefix is bound to at `parent`.
  virtual XmlNode AppendElement(const XmlNode& parent, const std::string& name) = 0;
  // Appends a new element in `parent`'s namespace, declaring it on the new element if needed.
  virtual XmlNode AppendElementInParentNamespace(const XmlNode& parent,
                                                 const std::string& name) = 0;
  virtual XmlNode AppendText(const XmlNode& parent, const std::string& text) = 0;
  // Replaces the element's children with one text node ("" leaves it without children).
  virtual void SetElementText(const XmlNode& element, const std::string& text) = 0;
  // Sets or replaces an attribute; "xmlns" and "xmlns:p" declare namespaces.
  virtual void SetAttribute(const XmlNode& element, const std::string& name,
                            const std::string& value) = 0;
  virtual XmlNode AppendComment(const XmlNode& parent, const std::string& text) = 0;
  // Takes the node out of its parent; handles on it and inside it stay usable.
  virtual void RemoveNode(const XmlNode& node) = 0;
  // 0 when the file was loaded, 1 when it was not (the current document is then unchanged).
  virtual int LoadFile(const std::string& path) = 0;
  virtual XmlNode GetRootElement() = 0;
  virtual std::vector<std::string> GetChildNames(const XmlNode& node) = 0;
  // Attributes and namespace declarations of an element, by name.
  virtual std::map<std::string, std::string> GetAttributes(const XmlNode& node) = 0;
  // The index-th attribute (namespace declarations first): 0 when stored, 1 when the node has no
  // such attribute.
  virtual int GetAttributeAt(const XmlNode& node, int index,
                             std::pair<std::string, std::string>& out) = 0;
  // The value of the attribute whose name equals `name` exactly; "" when there is none.
  virtual std::string GetAttribute(const XmlNode& node, const std::string& name) = 0;
  virtual std::string GetText(const XmlNode& node) = 0;
  // XPath 1.0 with `node` as the context node; the prefixes declared at `node` can be used.
  virtual std::vector<XmlNode> SelectNodes(const XmlNode& node, const std::string& xpath) = 0;
  virtual std::string GetNodeXml(const XmlNode& node) = 0;
  virtual int GetNodeType(const XmlNode& node) = 0;
  virtual int GetAttributeCount(const XmlNode& node) = 0;
  virtual std::string GetXml(const XmlNode& node) = 0;
  virtual XmlNode GetFirstChild(const XmlNode& node) = 0;
  virtual std::vector<XmlNode> GetChildNodes(const XmlNode& node) = 0;
  virtual XmlNode GetNextSibling(const XmlNode& node) = 0;
  virtual std::string GetNodeName(const XmlNode& node) = 0;
  // Writes the document in its own encoding, replacing `path` atomically. 0 when saved,
  // otherwise the errno of the failed step: EINVAL for a document without a root element or a
  // path holding a NUL, EILSEQ when the document cannot be encoded.
  virtual int SaveFile(const std::string& path) = 0;

 protected:
  ~INelvish() = default;
};

extern "C" __attribute__((visibility("default"))) bool CreateObject(const GUID& clsid,
                                                                    const GUID& iid, void** out);
