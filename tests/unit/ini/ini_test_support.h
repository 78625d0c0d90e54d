#pragma once
// Helpers for the INI store tests: a private temporary folder, files with exact bytes, and
// documents read from text.

#include <gtest/gtest.h>

#include <string>

#include "ini/inifile.h"
#include "support/temporary_folder.h"

namespace initest {

using TempFolder = test_support::TemporaryFolder;
using test_support::readFile;
using test_support::writeFile;

// A document read from `text` through a real file.
inline IniDocumentPtr readDocument(const std::string& text, int sorting = 0) {
  TempFolder folder;
  std::string path = folder.file("in.ini");
  writeFile(path, text);
  IniDocumentPtr doc(Ini_New(sorting));
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), path.c_str()), 0);
  return doc;
}

// What the writer would write for the document.
inline std::string writtenText(IniDocument* doc) {
  TempFolder folder;
  std::string path = folder.file("out.ini");
  EXPECT_EQ(Ini_WriteToFile(doc, path.c_str()), 0);
  return readFile(path);
}

inline std::string getString(IniDocument* doc, const char* section, const char* item,
                             size_t size = 4096) {
  std::string buffer(size, '\x7f');
  int result = Ini_GetStringIntoBuffer(doc, section, item, buffer.data(), size);
  if (result != 1) return "<" + std::to_string(result) + ">";
  return std::string(buffer.c_str());
}

}  // namespace initest
