#pragma once
// Ownership of one libxml2 document and of the node handles given out on it.

#include <libxml/tree.h>

#include <memory>
#include <unordered_set>

#include "zendral/nelvish.h"

namespace nelvish {

struct FreeDoc {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct FreeNode {
  void operator()(xmlNodePtr node) const { xmlFreeNode(node); }
};
using DocOwner = std::unique_ptr<xmlDoc, FreeDoc>;
using NodeOwner = std::unique_ptr<xmlNode, FreeNode>;

// One document together with every subtree that was cut out of it while handles still pointed
// into it. Each node counts the handles on it in its `_private` field; a cut-out subtree is
// freed as soon as no handle points into it, and the rest when the document goes.
class Document {
 public:
  explicit Document(DocOwner doc) : doc_(std::move(doc)) {}
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  xmlDocPtr get() const { return doc_.get(); }

  // Takes over a subtree that was just unlinked from its tree.
  void discard(xmlNodePtr top);
  // Frees the cut-out subtree holding `node`, if there is one and no handle points into it.
  void releaseIfUnused(xmlNodePtr node);

  void addHandle(xmlNodePtr node);
  void dropHandle(xmlNodePtr node);

 private:
  DocOwner doc_;
  std::unordered_set<xmlNodePtr> detached_;
};

using DocumentPtr = std::shared_ptr<Document>;

// What an XmlNode points at: a node and the document that keeps it alive.
struct NodeRef {
  NodeRef(DocumentPtr owner, xmlNodePtr target);
  ~NodeRef();
  NodeRef(const NodeRef&) = delete;
  NodeRef& operator=(const NodeRef&) = delete;

  DocumentPtr document;
  xmlNodePtr node;
};

struct NodeAccess {
  // A handle on `node` of `document`; empty when `node` is null.
  static XmlNode make(const DocumentPtr& document, xmlNodePtr node);
  // The node and document of a handle; both throw std::runtime_error for an empty handle.
  static xmlNodePtr node(const XmlNode& handle);
  static const DocumentPtr& document(const XmlNode& handle);
};

}  // namespace nelvish
