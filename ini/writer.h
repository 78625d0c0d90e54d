#pragma once
// Writes a document as INI text.

#include <string>

struct IniDocument;

namespace ini {

// Writes the document's text to `fd` through a 16 KiB buffer. Returns 0, or the errno of the
// first failed write.
int writeDocument(const IniDocument& doc, int fd);

// The document's text as one string (for tests and small documents).
std::string documentText(const IniDocument& doc);

}  // namespace ini
