// Serialisation through libxml2's writer, into memory.

#include "libs/nelvish/serializer.h"

#include <memory>
#include <stdexcept>

#include "libs/nelvish/document.h"
#include "libs/nelvish/loader.h"
#include "libs/nelvish/text_rules.h"

namespace nelvish {
namespace {

struct FreeBuffer {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

// xmlNodeDump output of one node, without formatting.
std::string dump(xmlDocPtr doc, xmlNodePtr node) {
  std::unique_ptr<xmlBuffer, FreeBuffer> buffer(xmlBufferCreate());
  if (!buffer || xmlNodeDump(buffer.get(), doc, node, 0, 0) < 0) {
    throw std::runtime_error("the node could not be serialized");
  }
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

// A copy of the element made outside its tree declares the namespaces it borrows from its
// ancestors, so its markup stands on its own.
std::string elementMarkup(xmlNodePtr element) {
  NodeOwner copy(xmlDocCopyNode(element, element->doc, 1));
  if (!copy) throw std::runtime_error("the element could not be serialized");
  return dump(element->doc, copy.get());
}

std::string documentMarkup(xmlDocPtr doc) {
  std::string markup = "<?xml version=\"1.0\"?>\n";
  for (xmlNodePtr child = doc->children; child != nullptr; child = child->next) {
    markup += child->type == XML_ELEMENT_NODE ? elementMarkup(child) : dump(doc, child);
    markup += '\n';
  }
  return markup;
}

}  // namespace

namespace {

std::string dumpInEncoding(xmlDocPtr doc, const std::string& encoding) {
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, encoding.c_str(), 1);
  if (bytes == nullptr) {
    throw std::runtime_error("the document could not be written in the encoding " + encoding);
  }
  std::string result(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  xmlFree(bytes);
  return result;
}

bool loadsAgain(const std::string& bytes) {
  std::string error;
  return parseDocument(bytes.data(), bytes.size(), error) != nullptr;
}

}  // namespace

std::string documentFileBytes(xmlDocPtr doc) {
  const std::string encoding = documentEncoding(doc);
  std::string bytes = dumpInEncoding(doc, encoding);
  // Some encodings (UTF-7) encode even the declaration, and no reader could open the file
  // again: such a document is written in UTF-8, which holds every character.
  if (!loadsAgain(bytes)) bytes = dumpInEncoding(doc, "UTF-8");
  return bytes;
}

std::string nodeMarkup(xmlNodePtr node) {
  switch (node->type) {
    case XML_DOCUMENT_NODE:
      return documentMarkup(reinterpret_cast<xmlDocPtr>(node));
    case XML_ELEMENT_NODE:
      return elementMarkup(node);
    case XML_ATTRIBUTE_NODE: {
      std::string markup = dump(node->doc, node);
      return markup.empty() || markup[0] != ' ' ? markup : markup.substr(1);
    }
    default:
      return dump(node->doc, node);
  }
}

}  // namespace nelvish
