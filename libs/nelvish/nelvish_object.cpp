// The object CreateObject hands out: reference counting, the interface identifiers, and each
// operation of INelvish mapped onto the tree functions.

#include <libxml/parser.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "libs/nelvish/atomic_file.h"
#include "libs/nelvish/document.h"
#include "libs/nelvish/loader.h"
#include "libs/nelvish/serializer.h"
#include "libs/nelvish/tree_edit.h"
#include "libs/nelvish/tree_read.h"
#include "libs/nelvish/xpath_select.h"
#include "zendral/nelvish.h"

namespace nelvish {
namespace {

xmlNodePtr nodeOf(const XmlNode& handle) {
  return NodeAccess::node(handle);
}
Document& documentOf(const XmlNode& handle) {
  return *NodeAccess::document(handle);
}

// A handle on `node`, which lives in the same document as the node of `from`.
XmlNode besides(const XmlNode& from, xmlNodePtr node) {
  return NodeAccess::make(NodeAccess::document(from), node);
}

std::vector<XmlNode> handles(const XmlNode& from, const std::vector<xmlNodePtr>& nodes) {
  std::vector<XmlNode> result;
  result.reserve(nodes.size());
  for (xmlNodePtr node : nodes) result.push_back(besides(from, node));
  return result;
}

class Nelvish final : public INelvish {
 public:
  Nelvish() { xmlInitParser(); }

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (out == nullptr) return E_NOINTERFACE;
    if (!(iid == IID_IUnknown) && !(iid == IID_INelvish)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<INelvish*>(this);
    AddRef();
    return S_OK;
  }

  int32_t AddRef() override { return ++references_; }

  int32_t Release() override {
    int32_t remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
  }

  XmlNode CreateDocument(const std::string& rootName) override {
    auto fresh = std::make_shared<Document>(newDocument(rootName));
    document_ = fresh;
    return NodeAccess::make(fresh, xmlDocGetRootElement(fresh->get()));
  }

  XmlNode AppendElement(const XmlNode& parent, const std::string& name) override {
    return besides(parent, appendElement(nodeOf(parent), name));
  }

  XmlNode AppendElementInParentNamespace(const XmlNode& parent, const std::string& name) override {
    return besides(parent, appendElementInParentNamespace(nodeOf(parent), name));
  }

  XmlNode AppendText(const XmlNode& parent, const std::string& text) override {
    return besides(parent, appendText(nodeOf(parent), text));
  }

  void SetElementText(const XmlNode& element, const std::string& text) override {
    setElementText(documentOf(element), nodeOf(element), text);
  }

  void SetAttribute(const XmlNode& element, const std::string& name,
                    const std::string& value) override {
    setAttribute(documentOf(element), nodeOf(element), name, value);
  }

  XmlNode AppendComment(const XmlNode& parent, const std::string& text) override {
    return besides(parent, appendComment(nodeOf(parent), text));
  }

  void RemoveNode(const XmlNode& node) override { removeNode(documentOf(node), nodeOf(node)); }

  int LoadFile(const std::string& path) override {
    try {
      std::string error;
      DocOwner doc = loadDocumentFile(path, error);
      if (!doc) return 1;
      document_ = std::make_shared<Document>(std::move(doc));
      return 0;
    } catch (const std::exception&) {
      return 1;
    }
  }

  XmlNode GetRootElement() override {
    if (!document_) return XmlNode();
    return NodeAccess::make(document_, xmlDocGetRootElement(document_->get()));
  }

  std::vector<std::string> GetChildNames(const XmlNode& node) override {
    std::vector<std::string> names;
    for (xmlNodePtr child : childNodes(nodeOf(node))) names.push_back(nodeName(child));
    return names;
  }

  std::map<std::string, std::string> GetAttributes(const XmlNode& node) override {
    auto list = attributeList(nodeOf(node));
    return std::map<std::string, std::string>(list.begin(), list.end());
  }

  int GetAttributeAt(const XmlNode& node, int index,
                     std::pair<std::string, std::string>& out) override {
    auto list = attributeList(nodeOf(node));
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return 1;
    out = list[static_cast<size_t>(index)];
    return 0;
  }

  std::string GetAttribute(const XmlNode& node, const std::string& name) override {
    for (auto& [attrName, value] : attributeList(nodeOf(node))) {
      if (attrName == name) return value;
    }
    return "";
  }

  std::string GetText(const XmlNode& node) override { return nodeText(nodeOf(node)); }

  std::vector<XmlNode> SelectNodes(const XmlNode& node, const std::string& xpath) override {
    return handles(node, selectNodes(nodeOf(node), xpath));
  }

  std::string GetNodeXml(const XmlNode& node) override { return nodeMarkup(nodeOf(node)); }

  int GetNodeType(const XmlNode& node) override { return domNodeType(nodeOf(node)); }

  int GetAttributeCount(const XmlNode& node) override {
    return static_cast<int>(attributeList(nodeOf(node)).size());
  }

  std::string GetXml(const XmlNode& node) override { return nodeMarkup(nodeOf(node)); }

  XmlNode GetFirstChild(const XmlNode& node) override {
    return besides(node, firstChild(nodeOf(node)));
  }

  std::vector<XmlNode> GetChildNodes(const XmlNode& node) override {
    return handles(node, childNodes(nodeOf(node)));
  }

  XmlNode GetNextSibling(const XmlNode& node) override {
    return besides(node, nextSibling(nodeOf(node)));
  }

  std::string GetNodeName(const XmlNode& node) override { return nodeName(nodeOf(node)); }

  int SaveFile(const std::string& path) override {
    if (!document_ || xmlDocGetRootElement(document_->get()) == nullptr) return EINVAL;
    std::string bytes;
    try {
      bytes = documentFileBytes(document_->get());
    } catch (const std::runtime_error&) {
      return EILSEQ;
    }
    return replaceFile(path, bytes);
  }

 private:
  ~Nelvish() = default;

  std::atomic<int32_t> references_{0};
  DocumentPtr document_;  // null until a document is created or loaded
};

}  // namespace
}  // namespace nelvish

extern "C" bool CreateObject(const GUID& clsid, const GUID& iid, void** out) {
  if (out == nullptr) return false;
  *out = nullptr;
  if (!(clsid == CLSID_Nelvish)) return false;
  auto* object = new (std::nothrow) nelvish::Nelvish();
  if (object == nullptr) return false;
  object->AddRef();
  bool granted = object->QueryInterface(iid, out) == S_OK;
  object->Release();
  return granted;
}
