#pragma once
// Turning documents and nodes into markup.

#include <libxml/tree.h>

#include <string>

namespace nelvish {

// The bytes of the document's file: its declaration with its encoding, then its nodes indented,
// all in that encoding. Characters the encoding lacks become character references in text and
// attribute values. Throws std::runtime_error when the document cannot be written.
std::string documentFileBytes(xmlDocPtr doc);

// The markup of one node as UTF-8. An element carries the namespace declarations it needs; an
// attribute reads name="value"; the document starts with a declaration without encoding,
// since the text is UTF-8 whatever its file is.
std::string nodeMarkup(xmlNodePtr node);

}  // namespace nelvish
