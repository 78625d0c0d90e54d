// XPath through libxml2, with errors kept in the query's own context instead of printed.

#include "libs/nelvish/xpath_select.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <stdexcept>

#include "libs/nelvish/text_rules.h"

namespace nelvish {
namespace {

struct FreeContext {
  void operator()(xmlXPathContextPtr context) const { xmlXPathFreeContext(context); }
};
struct FreeObject {
  void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
};

void keepFirstError(void* userData, xmlErrorPtr error) {
  auto* message = static_cast<std::string*>(userData);
  if (message->empty() && error != nullptr && error->message != nullptr) {
    *message = error->message;
    while (!message->empty() && message->back() == '\n') message->pop_back();
  }
}

// Makes every prefix in scope at `node` usable in the expression.
void registerNamespaces(xmlXPathContextPtr context, xmlNodePtr node) {
  xmlNsPtr* list = xmlGetNsList(node->doc, node);
  if (list == nullptr) return;
  for (xmlNsPtr* ns = list; *ns != nullptr; ++ns) {
    if ((*ns)->prefix != nullptr) xmlXPathRegisterNs(context, (*ns)->prefix, (*ns)->href);
  }
  xmlFree(list);
}

bool isHandedOut(xmlNodePtr node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
    case XML_DOCUMENT_NODE:
      return true;
    default:
      return false;
  }
}

// The expression as messages quote it: long ones are cut, between characters.
std::string quoted(const std::string& expression) {
  size_t cut = 60;
  if (expression.size() <= cut) return "'" + expression + "'";
  while (cut > 0 && (static_cast<unsigned char>(expression[cut]) & 0xC0) == 0x80) --cut;
  return "'" + expression.substr(0, cut) + "...'";
}

}  // namespace

std::vector<xmlNodePtr> selectNodes(xmlNodePtr context, const std::string& expression) {
  requireXmlText(expression, "the XPath expression");
  std::unique_ptr<xmlXPathContext, FreeContext> query(xmlXPathNewContext(context->doc));
  if (!query) throw std::runtime_error("out of memory while preparing the XPath query");
  std::string error;
  query->node = context;
  query->userData = &error;
  query->error = keepFirstError;
  registerNamespaces(query.get(), context);

  std::unique_ptr<xmlXPathObject, FreeObject> result(
      xmlXPathEvalExpression(BAD_CAST expression.c_str(), query.get()));
  if (!result) {
    throw std::runtime_error("XPath " + quoted(expression) + ": " +
                             (error.empty() ? std::string("cannot be evaluated") : error));
  }
  if (result->type != XPATH_NODESET) {
    throw std::runtime_error("XPath " + quoted(expression) + " does not select nodes");
  }
  std::vector<xmlNodePtr> nodes;
  if (result->nodesetval == nullptr) return nodes;
  for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
    xmlNodePtr node = result->nodesetval->nodeTab[i];
    if (isHandedOut(node)) nodes.push_back(node);
  }
  return nodes;
}

}  // namespace nelvish
