// DOM views of libxml2 nodes.

#include "libs/nelvish/tree_read.h"

namespace nelvish {
namespace {

std::string str(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::string qualifiedName(const xmlChar* local, xmlNsPtr ns) {
  if (ns == nullptr || ns->prefix == nullptr) return str(local);
  return str(ns->prefix) + ":" + str(local);
}

bool showsChildren(xmlNodePtr node) {
  return node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE ||
         node->type == XML_DOCUMENT_NODE;
}

}  // namespace

std::string nodeName(xmlNodePtr node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      return qualifiedName(node->name, node->ns);
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      return "#document";
    case XML_DOCUMENT_FRAG_NODE:
      return "#document-fragment";
    default:
      return str(node->name);
  }
}

int domNodeType(xmlNodePtr node) {
  switch (node->type) {
    case XML_DTD_NODE:
      return 10;
    case XML_HTML_DOCUMENT_NODE:
      return 9;
    default:
      return static_cast<int>(node->type);
  }
}

std::string nodeText(xmlNodePtr node) {
  if (node->type == XML_DTD_NODE || node->type == XML_ENTITY_REF_NODE) return "";
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = str(content);
  xmlFree(content);
  return text;
}

std::vector<std::pair<std::string, std::string>> attributeList(xmlNodePtr node) {
  std::vector<std::pair<std::string, std::string>> list;
  if (node->type != XML_ELEMENT_NODE) return list;
  for (xmlNsPtr ns = node->nsDef; ns != nullptr; ns = ns->next) {
    std::string name = ns->prefix == nullptr ? "xmlns" : "xmlns:" + str(ns->prefix);
    list.emplace_back(name, str(ns->href));
  }
  for (xmlAttrPtr attr = node->properties; attr != nullptr; attr = attr->next) {
    list.emplace_back(qualifiedName(attr->name, attr->ns),
                      nodeText(reinterpret_cast<xmlNodePtr>(attr)));
  }
  return list;
}

std::vector<xmlNodePtr> childNodes(xmlNodePtr node) {
  std::vector<xmlNodePtr> children;
  for (xmlNodePtr child = firstChild(node); child != nullptr; child = child->next) {
    children.push_back(child);
  }
  return children;
}

xmlNodePtr firstChild(xmlNodePtr node) {
  return showsChildren(node) ? node->children : nullptr;
}

xmlNodePtr nextSibling(xmlNodePtr node) {
  return node->type == XML_ATTRIBUTE_NODE ? nullptr : node->next;
}

}  // namespace nelvish
