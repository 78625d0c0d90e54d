#pragma once
// XPath selection below a node.

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace nelvish {

// The nodes an XPath 1.0 expression selects with `context` as the context node, in document
// order. The prefixes declared at `context` can be used in the expression. Namespace nodes are
// left out: they exist only while the query runs. Throws std::runtime_error with libxml2's
// message for a bad expression, and when the expression yields no node-set.
std::vector<xmlNodePtr> selectNodes(xmlNodePtr context, const std::string& expression);

}  // namespace nelvish
