#pragma once
// What a caller's text must be before it goes into a document. libxml2 builds whatever it is
// given, so everything that would make a document unreadable or unwritable is refused here.

#include <libxml/tree.h>

#include <string>

namespace nelvish {

// A name split at its colon; `prefix` is empty for an unprefixed name.
struct QualifiedName {
  std::string prefix;
  std::string local;
};

// Character data: valid UTF-8 made only of characters XML 1.0 can carry. `what` names the
// argument in the message of the std::runtime_error thrown otherwise.
void requireXmlText(const std::string& text, const char* what);

// An element or attribute name: a valid qualified name ("local" or "prefix:local").
QualifiedName requireQualifiedName(const std::string& name, const char* what);

// Comment text: character data without "--" and not ending in "-".
void requireCommentText(const std::string& text);

// Names and comments cannot use character references, so every character of them must exist in
// the encoding the document is written in.
void requireEncodable(xmlDocPtr doc, const std::string& text, const char* what);

// The encoding a document is written in: its declared one, UTF-8 when it declares none.
std::string documentEncoding(xmlDocPtr doc);

}  // namespace nelvish
