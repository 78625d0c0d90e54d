#pragma once
// Reading a document's tree the way a DOM presents it: DOM names and node types, namespace
// declarations among the attributes, no children for nodes that hold none.

#include <libxml/tree.h>

#include <string>
#include <utility>
#include <vector>

namespace nelvish {

std::string nodeName(xmlNodePtr node);
// The DOM number of the node's type (a document type node is 10).
int domNodeType(xmlNodePtr node);
// The text of the node: the concatenated text below an element or a document, the value of an
// attribute, the content of text, comments and processing instructions.
std::string nodeText(xmlNodePtr node);

// Name and value of an element's namespace declarations, then of its attributes, in document
// order; empty for other nodes.
std::vector<std::pair<std::string, std::string>> attributeList(xmlNodePtr node);

// The children a DOM shows: those of elements, attributes and the document.
std::vector<xmlNodePtr> childNodes(xmlNodePtr node);
xmlNodePtr firstChild(xmlNodePtr node);
// The next sibling; attributes have none.
xmlNodePtr nextSibling(xmlNodePtr node);

}  // namespace nelvish
