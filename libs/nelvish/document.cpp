// Node handles and the lifetime of the nodes they point at.

#include "libs/nelvish/document.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace nelvish {
namespace {

uintptr_t handleCount(xmlNodePtr node) {
  return reinterpret_cast<uintptr_t>(node->_private);
}

void setHandleCount(xmlNodePtr node, uintptr_t count) {
  node->_private = reinterpret_cast<void*>(count);
}

// The node at the top of the tree that holds `node`: the document node for attached nodes.
xmlNodePtr topOf(xmlNodePtr node) {
  while (node->parent != nullptr) node = node->parent;
  return node;
}

// True when a handle points at `top` or at any node below it, attributes included. Declarations
// inside a document type are never handed out, so the walk does not enter them.
bool hasHandles(xmlNodePtr top) {
  std::vector<xmlNodePtr> pending{top};
  while (!pending.empty()) {
    xmlNodePtr node = pending.back();
    pending.pop_back();
    if (handleCount(node) != 0) return true;
    if (node->type == XML_DTD_NODE) continue;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
      pending.push_back(child);
    }
    if (node->type != XML_ELEMENT_NODE) continue;
    for (xmlAttrPtr attr = node->properties; attr != nullptr; attr = attr->next) {
      pending.push_back(reinterpret_cast<xmlNodePtr>(attr));
    }
  }
  return false;
}

}  // namespace

Document::~Document() {
  // Cut-out nodes still use the document's name dictionary, so they go first.
  for (xmlNodePtr top : detached_) xmlFreeNode(top);
}

void Document::discard(xmlNodePtr top) {
  if (hasHandles(top)) {
    detached_.insert(top);
  } else {
    xmlFreeNode(top);
  }
}

void Document::releaseIfUnused(xmlNodePtr node) {
  if (detached_.empty()) return;
  xmlNodePtr top = topOf(node);
  auto found = detached_.find(top);
  if (found == detached_.end() || hasHandles(top)) return;
  detached_.erase(found);
  xmlFreeNode(top);
}

void Document::addHandle(xmlNodePtr node) {
  setHandleCount(node, handleCount(node) + 1);
}

void Document::dropHandle(xmlNodePtr node) {
  uintptr_t count = handleCount(node) - 1;
  setHandleCount(node, count);
  if (count == 0) releaseIfUnused(node);
}

NodeRef::NodeRef(DocumentPtr owner, xmlNodePtr target) : document(std::move(owner)), node(target) {
  document->addHandle(node);
}

NodeRef::~NodeRef() {
  document->dropHandle(node);
}

XmlNode NodeAccess::make(const DocumentPtr& document, xmlNodePtr node) {
  if (node == nullptr) return XmlNode();
  return XmlNode(std::make_shared<const NodeRef>(document, node));
}

xmlNodePtr NodeAccess::node(const XmlNode& handle) {
  if (!handle.ref_) throw std::runtime_error("the node handle is empty");
  return handle.ref_->node;
}

const DocumentPtr& NodeAccess::document(const XmlNode& handle) {
  if (!handle.ref_) throw std::runtime_error("the node handle is empty");
  return handle.ref_->document;
}

}  // namespace nelvish

bool XmlNode::operator==(const XmlNode& other) const {
  if (!ref_ || !other.ref_) return !ref_ && !other.ref_;
  return ref_->node == other.ref_->node;
}
