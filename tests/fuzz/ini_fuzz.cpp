// The INI reader and writer: any file reads without harm, and what the store writes reads back
// to the same document, so a second write gives the same text as the first. Every section and
// item of the document is also walked and read through the typed getters.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "ini/document.h"
#include "ini/inifile.h"
#include "ini/writer.h"

namespace {

// Reads `text` through a file, as the station always does, into a new document.
IniDocument* readText(std::string_view text, int sorting) {
  static const std::string path = fuzz::workFolder() + "/input.ini";
  if (!fuzz::writeFile(path, text)) fuzz::fail("cannot write the input file");
  IniDocument* doc = Ini_New(sorting);
  if (Ini_ReadFromFile(doc, path.c_str()) != 0) fuzz::fail("a written file cannot be read");
  return doc;
}

// Reads every item of every section with each typed getter.
void readEverything(IniDocument* doc) {
  const int sections = Ini_NumberOfSections(doc);
  for (int s = 1; s <= sections; ++s) {
    const char* section = nullptr;
    if (Ini_NthSectionName(doc, s, &section) <= 0) continue;
    const std::string sectionName = section;
    const int items = Ini_NumberOfItems(doc, sectionName.c_str());
    for (int i = 1; i <= items; ++i) {
      const char* item = nullptr;
      if (Ini_NthItemName(doc, sectionName.c_str(), i, &item) <= 0) continue;
      const std::string itemName = item;
      int32_t i32;
      uint32_t u32;
      double d;
      int b;
      char buffer[16];
      Ini_GetInt(doc, sectionName.c_str(), itemName.c_str(), &i32);
      Ini_GetUInt(doc, sectionName.c_str(), itemName.c_str(), &u32);
      Ini_GetDouble(doc, sectionName.c_str(), itemName.c_str(), &d);
      Ini_GetBoolean(doc, sectionName.c_str(), itemName.c_str(), &b);
      Ini_GetStringIntoBuffer(doc, sectionName.c_str(), itemName.c_str(), buffer, sizeof buffer);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("ini");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const int sorting = size > 0 && (data[0] & 1);

  IniDocument* first = readText(text, sorting);
  readEverything(first);
  const std::string written = ini::documentText(*first);
  Ini_Dispose(first);

  IniDocument* second = readText(written, sorting);
  const std::string rewritten = ini::documentText(*second);
  Ini_Dispose(second);
  if (rewritten != written) fuzz::fail("a written document does not write back the same");
  return 0;
}
