#pragma once
// Helpers for the INI store tests: a private temporary folder, files with exact bytes, and
// documents read from text.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ini/inifile.h"

namespace initest {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "initest-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  // Names of everything in the folder, to prove no temporary file is left behind.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A document read from `text` through a real file.
inline IniDocumentPtr readDocument(const std::string& text, int sorting = 0) {
  TempFolder folder;
  std::string path = folder.file("in.ini");
  writeBytes(path, text);
  IniDocumentPtr doc(Ini_New(sorting));
  EXPECT_EQ(Ini_ReadFromFile(doc.get(), path.c_str()), 0);
  return doc;
}

// What the writer would write for the document.
inline std::string writtenText(IniDocument* doc) {
  TempFolder folder;
  std::string path = folder.file("out.ini");
  EXPECT_EQ(Ini_WriteToFile(doc, path.c_str()), 0);
  return readBytes(path);
}

inline std::string getString(IniDocument* doc, const char* section, const char* item,
                             size_t size = 4096) {
  std::string buffer(size, '\x7f');
  int result = Ini_GetStringIntoBuffer(doc, section, item, buffer.data(), size);
  if (result != 1) return "<" + std::to_string(result) + ">";
  return std::string(buffer.c_str());
}

}  // namespace initest
