#pragma once
// Reads INI text into a document.

struct IniDocument;

namespace ini {

// Reads the file at `path` into `doc`, adding to what it holds. Returns 0, or kIniCannotOpenFile
// when the path is not a readable regular file or reading fails part-way (what was read until
// then is kept). Throws std::bad_alloc when memory runs out.
int readFile(IniDocument& doc, const char* path);

}  // namespace ini
