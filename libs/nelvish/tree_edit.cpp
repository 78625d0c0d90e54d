// Changes to a document's tree, with the namespace bookkeeping that keeps a saved document
// meaning what the tree in memory means.

#include "libs/nelvish/tree_edit.h"

#include <stdexcept>
#include <string>

#include "libs/nelvish/text_rules.h"

namespace nelvish {
namespace {

const xmlChar* xml(const std::string& text) {
  return BAD_CAST text.c_str();
}

const xmlChar* prefixOrNull(const std::string& prefix) {
  return prefix.empty() ? nullptr : xml(prefix);
}

// The deepest nesting of elements that loading a saved file accepts again.
constexpr int kMaxElementDepth = 256;

[[noreturn]] void fail(const std::string& why) {
  throw std::runtime_error(why);
}

template <typename T>
T* created(T* node) {
  if (node == nullptr) fail("out of memory while building the node");
  return node;
}

void requireElement(xmlNodePtr node) {
  if (node->type != XML_ELEMENT_NODE) fail("the node is not an element");
}

// Elements and comments go below an element or the document, text only below an element; a
// document holds one element.
void requireParentFor(xmlNodePtr parent, xmlElementType child) {
  bool isDocument = parent->type == XML_DOCUMENT_NODE;
  if (parent->type != XML_ELEMENT_NODE && !(isDocument && child != XML_TEXT_NODE)) {
    fail(isDocument ? "text cannot be a child of the document"
                    : "the node cannot hold child nodes");
  }
  if (isDocument && child == XML_ELEMENT_NODE &&
      xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent)) != nullptr) {
    fail("the document already has a root element");
  }
  if (child == XML_ELEMENT_NODE) {
    int depth = 1;
    for (xmlNodePtr node = parent; node != nullptr; node = node->parent) {
      if (node->type == XML_ELEMENT_NODE && ++depth > kMaxElementDepth) {
        fail("elements cannot be nested deeper than " + std::to_string(kMaxElementDepth) +
             " levels: the saved file could not be loaded again");
      }
    }
  }
}

// Appends without the text merging of xmlAddChild: the node handed back stays its own node.
xmlNodePtr linkLastChild(xmlNodePtr parent, xmlNodePtr child) {
  child->parent = parent;
  child->prev = parent->last;
  child->next = nullptr;
  if (parent->last != nullptr) {
    parent->last->next = child;
  } else {
    parent->children = child;
  }
  parent->last = child;
  return child;
}

// Takes `node` out of its tree and gives it to `document`. A cut-out element declares the
// namespaces it used from its former ancestors, so it still reads the same.
void cutOut(Document& document, xmlNodePtr node) {
  xmlUnlinkNode(node);
  if (node->type == XML_ELEMENT_NODE) xmlReconciliateNs(node->doc, node);
  document.discard(node);
}

void cutOutChildren(Document& document, xmlNodePtr node) {
  while (node->children != nullptr) cutOut(document, node->children);
}

xmlNsPtr namespaceInScope(xmlNodePtr node, const std::string& prefix) {
  return xmlSearchNs(node->doc, node, prefixOrNull(prefix));
}

bool hasUri(xmlNsPtr ns, const std::string& uri) {
  return ns != nullptr && ns->href != nullptr && uri == reinterpret_cast<const char*>(ns->href);
}

xmlNsPtr boundNamespace(xmlNodePtr scope, const std::string& prefix, const std::string& name) {
  xmlNsPtr ns = namespaceInScope(scope, prefix);
  if (ns == nullptr)
    fail("the namespace prefix '" + prefix + "' of '" + name + "' is not declared");
  return ns;
}

xmlNsPtr declare(xmlNodePtr element, const std::string& prefix, const std::string& uri) {
  xmlNsPtr ns = xmlNewNs(element, xml(uri), prefixOrNull(prefix));
  if (ns == nullptr) fail("the namespace prefix '" + prefix + "' cannot be declared here");
  return ns;
}

QualifiedName requireElementName(xmlDocPtr doc, const std::string& name) {
  QualifiedName parts = requireQualifiedName(name, "the element name");
  if (parts.prefix == "xmlns") fail("the prefix 'xmlns' is reserved for namespace declarations");
  requireEncodable(doc, name, "the element name");
  return parts;
}

NodeOwner newElement(xmlNodePtr parent, const QualifiedName& parts) {
  return NodeOwner(created(xmlNewDocNode(parent->doc, nullptr, xml(parts.local), nullptr)));
}

// A child element of `element` in no namespace, written without a prefix, would fall into a
// default namespace declared on `element`: it gets an empty default declaration of its own.
void keepChildrenOutOfDefault(xmlNodePtr element) {
  for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || child->ns != nullptr) continue;
    bool declaresDefault = false;
    for (xmlNsPtr ns = child->nsDef; ns != nullptr; ns = ns->next) {
      declaresDefault = declaresDefault || ns->prefix == nullptr;
    }
    if (!declaresDefault) declare(child, "", "");
  }
}

// SetAttribute("xmlns" or "xmlns:p", uri): a namespace declaration on the element.
void declareFromAttribute(xmlNodePtr element, const std::string& prefix, const std::string& uri) {
  if (prefix == "xml") {
    if (uri == reinterpret_cast<const char*>(XML_XML_NAMESPACE)) return;
    fail("the prefix 'xml' is bound to its own namespace");
  }
  if (prefix == "xmlns") fail("the prefix 'xmlns' cannot be declared");
  if (!prefix.empty() && uri.empty()) fail("a namespace prefix cannot be bound to an empty URI");
  for (xmlNsPtr ns = element->nsDef; ns != nullptr; ns = ns->next) {
    if (prefix != (ns->prefix ? reinterpret_cast<const char*>(ns->prefix) : "")) continue;
    if (hasUri(ns, uri)) return;
    fail("the element already declares this prefix with another namespace");
  }
  bool unprefixed = element->ns == nullptr || element->ns->prefix == nullptr;
  bool inNamespace = element->ns != nullptr && element->ns->href && *element->ns->href;
  if (prefix.empty() && inNamespace && !hasUri(element->ns, uri)) {
    fail("a default namespace declaration cannot change the element's own namespace");
  }
  xmlNsPtr ns = declare(element, prefix, uri);
  if (prefix.empty() && unprefixed && !uri.empty()) {
    keepChildrenOutOfDefault(element);
    if (element->ns == nullptr) xmlSetNs(element, ns);
  }
}

xmlAttrPtr findAttribute(xmlNodePtr element, const std::string& local, xmlNsPtr ns) {
  for (xmlAttrPtr attr = element->properties; attr != nullptr; attr = attr->next) {
    if (local != reinterpret_cast<const char*>(attr->name)) continue;
    if (ns == nullptr ? attr->ns == nullptr
                      : attr->ns != nullptr && xmlStrEqual(attr->ns->href, ns->href)) {
      return attr;
    }
  }
  return nullptr;
}

}  // namespace

DocOwner newDocument(const std::string& rootName) {
  DocOwner doc(created(xmlNewDoc(BAD_CAST "1.0")));
  doc->encoding = created(xmlStrdup(BAD_CAST "gb2312"));
  appendElement(reinterpret_cast<xmlNodePtr>(doc.get()), rootName);
  return doc;
}

xmlNodePtr appendElement(xmlNodePtr parent, const std::string& name) {
  requireParentFor(parent, XML_ELEMENT_NODE);
  QualifiedName parts = requireElementName(parent->doc, name);
  xmlNsPtr ns = parts.prefix.empty() ? nullptr : boundNamespace(parent, parts.prefix, name);
  xmlNsPtr defaultNs = parts.prefix.empty() ? namespaceInScope(parent, "") : nullptr;
  NodeOwner node = newElement(parent, parts);
  xmlSetNs(node.get(), ns);
  // An element in no namespace below a default namespace must say so, or it would join it.
  if (defaultNs != nullptr && !hasUri(defaultNs, "")) declare(node.get(), "", "");
  return linkLastChild(parent, node.release());
}

xmlNodePtr appendElementInParentNamespace(xmlNodePtr parent, const std::string& name) {
  bool parentInNamespace = parent->type == XML_ELEMENT_NODE && parent->ns != nullptr &&
                           parent->ns->href != nullptr && *parent->ns->href != 0;
  if (!parentInNamespace) return appendElement(parent, name);
  std::string uri = reinterpret_cast<const char*>(parent->ns->href);
  QualifiedName parts = requireElementName(parent->doc, name);
  NodeOwner node = newElement(parent, parts);
  xmlNsPtr ns = namespaceInScope(parent, parts.prefix);
  if (!hasUri(ns, uri)) ns = declare(node.get(), parts.prefix, uri);
  xmlSetNs(node.get(), ns);
  return linkLastChild(parent, node.release());
}

xmlNodePtr appendText(xmlNodePtr parent, const std::string& text) {
  requireParentFor(parent, XML_TEXT_NODE);
  requireXmlText(text, "the text");
  return linkLastChild(parent, created(xmlNewDocText(parent->doc, xml(text))));
}

xmlNodePtr appendComment(xmlNodePtr parent, const std::string& text) {
  requireParentFor(parent, XML_COMMENT_NODE);
  requireCommentText(text);
  requireEncodable(parent->doc, text, "the comment");
  return linkLastChild(parent, created(xmlNewDocComment(parent->doc, xml(text))));
}

void setElementText(Document& document, xmlNodePtr element, const std::string& text) {
  requireElement(element);
  requireXmlText(text, "the text");
  NodeOwner node;
  if (!text.empty()) node.reset(created(xmlNewDocText(element->doc, xml(text))));
  cutOutChildren(document, element);
  if (node) linkLastChild(element, node.release());
}

void setAttribute(Document& document, xmlNodePtr element, const std::string& name,
                  const std::string& value) {
  requireElement(element);
  QualifiedName parts = requireQualifiedName(name, "the attribute name");
  requireEncodable(element->doc, name, "the attribute name");
  requireXmlText(value, "the attribute value");
  if (name == "xmlns" || parts.prefix == "xmlns") {
    declareFromAttribute(element, parts.prefix.empty() ? "" : parts.local, value);
    return;
  }
  xmlNsPtr ns = parts.prefix.empty() ? nullptr : boundNamespace(element, parts.prefix, name);
  // The old value's text nodes may still have handles: they leave the tree the safe way first.
  if (xmlAttrPtr existing = findAttribute(element, parts.local, ns)) {
    cutOutChildren(document, reinterpret_cast<xmlNodePtr>(existing));
  }
  created(xmlSetNsProp(element, ns, xml(parts.local), xml(value)));
}

void removeNode(Document& document, xmlNodePtr node) {
  if (node->type == XML_ATTRIBUTE_NODE) {
    fail("an attribute is not a child node; set its value with SetAttribute");
  }
  xmlNodePtr parent = node->parent;
  if (parent == nullptr) fail("the node has no parent");
  cutOut(document, node);
  document.releaseIfUnused(parent);
}

}  // namespace nelvish
