#pragma once
// Building and changing a document's tree. Every function checks its arguments before it
// changes anything, throws std::runtime_error with the reason otherwise, and never merges
// nodes, so a node handed back stays the node it was.

#include <string>

#include "libs/nelvish/document.h"

namespace nelvish {

// A new document with the gb2312 declaration and a root element named `rootName`.
DocOwner newDocument(const std::string& rootName);

xmlNodePtr appendElement(xmlNodePtr parent, const std::string& name);
xmlNodePtr appendElementInParentNamespace(xmlNodePtr parent, const std::string& name);
xmlNodePtr appendText(xmlNodePtr parent, const std::string& text);
xmlNodePtr appendComment(xmlNodePtr parent, const std::string& text);

// Nodes that these take out of the tree go to `document`, which frees them once no handle
// points into them.
void setElementText(Document& document, xmlNodePtr element, const std::string& text);
void setAttribute(Document& document, xmlNodePtr element, const std::string& name,
                  const std::string& value);
void removeNode(Document& document, xmlNodePtr node);

}  // namespace nelvish
