#pragma once
// Reading documents from bytes or files. A document cannot reach outside itself: no external
// DTD or entity is loaded, nothing goes to the network, and a document that declares or
// references entities is refused, so it can neither read other files nor grow without bound.

#include <cstddef>
#include <string>

#include "libs/nelvish/document.h"

namespace nelvish {

// Parses a whole document held in memory. Whitespace-only text is dropped except under
// xml:space="preserve". Gives null with the reason in `error` when the bytes are no acceptable
// document; never throws for bad input.
DocOwner parseDocument(const char* bytes, size_t size, std::string& error);

// Reads the regular file at `path` and parses it as parseDocument does.
DocOwner loadDocumentFile(const std::string& path, std::string& error);

}  // namespace nelvish
