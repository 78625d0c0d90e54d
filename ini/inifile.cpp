// The public INI API: argument checks, result codes and out-of-memory handling around the
// document model, reader, writer and value conversions.

#include "ini/inifile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "ini/atomic_file.h"
#include "ini/document.h"
#include "ini/reader.h"
#include "ini/values.h"
#include "ini/writer.h"

namespace {

// Runs an operation, turning an allocation failure into the store's code.
template <typename Operation>
int guarded(Operation operation) {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return kIniOutOfMemory;
  }
}

int putText(IniDocument* doc, const char* section, const char* item, std::string value,
            bool quoted) {
  return guarded([&] {
    ini::Item stored;
    stored.name = ini::trim(item);
    stored.value = std::move(value);
    stored.quoted = quoted;
    doc->putItem(section, std::move(stored));
    return 0;
  });
}

// The item a getter reads, or null when its section or the item is absent.
const ini::Item* itemToRead(IniDocument* doc, const char* section, const char* item) {
  ini::Section* found = doc->findSection(section);
  if (found == nullptr) return nullptr;
  const ini::Item* stored = found->findItem(item);
  if (stored != nullptr) doc->lineOfLastAccess = stored->line;
  return stored;
}

template <typename Value, typename Parser>
int getTyped(IniDocument* doc, const char* section, const char* item, Value* value, Parser parse) {
  if (doc == nullptr || section == nullptr || item == nullptr || value == nullptr) {
    return kIniNullArgument;
  }
  return guarded([&] {
    const ini::Item* stored = itemToRead(doc, section, item);
    return stored == nullptr ? 0 : parse(stored->value, value);
  });
}

// Keeps at most `limit` characters of a token text; an empty or null text keeps the current.
void setTokenText(std::string& token, const char* text, size_t limit) {
  if (text == nullptr || *text == '\0') return;
  token.assign(text, strnlen(text, limit));
}

}  // namespace

IniDocument* Ini_New(int automaticSorting) {
  try {
    return new IniDocument(automaticSorting != 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void Ini_Dispose(IniDocument* doc) {
  delete doc;
}

int Ini_ReadFromFile(IniDocument* doc, const char* path) {
  if (doc == nullptr || path == nullptr) return kIniNullArgument;
  return guarded([&] { return ini::readFile(*doc, path); });
}

int Ini_WriteToFile(IniDocument* doc, const char* path) {
  if (doc == nullptr) return kIniNullArgument;
  if (path == nullptr) {
    std::fflush(stdout);
    int error = ini::writeDocument(*doc, STDOUT_FILENO);
    return error == 0 ? 0 : ini::writeErrorCode(error);
  }
  return guarded([&] {
    return ini::replaceFileAtomically(path, [doc](int fd) { return ini::writeDocument(*doc, fd); });
  });
}

int Ini_SectionExists(IniDocument* doc, const char* section) {
  if (doc == nullptr || section == nullptr) return kIniNullArgument;
  return doc->findSection(section) != nullptr ? 1 : 0;
}

int Ini_ItemExists(IniDocument* doc, const char* section, const char* item) {
  if (doc == nullptr || section == nullptr || item == nullptr) return kIniNullArgument;
  ini::Section* found = doc->findSection(section);
  return guarded([&] { return found != nullptr && found->findItem(item) != nullptr ? 1 : 0; });
}

int Ini_PutInt(IniDocument* doc, const char* section, const char* item, int32_t value) {
  if (doc == nullptr || section == nullptr || item == nullptr) return kIniNullArgument;
  return putText(doc, section, item, ini::formatInt(value), false);
}

int Ini_PutUInt(IniDocument* doc, const char* section, const char* item, uint32_t value) {
  if (doc == nullptr || section == nullptr || item == nullptr) return kIniNullArgument;
  return putText(doc, section, item, ini::formatUInt(value), false);
}

int Ini_PutDouble(IniDocument* doc, const char* section, const char* item, double value) {
  if (doc == nullptr || section == nullptr || item == nullptr) return kIniNullArgument;
  return putText(doc, section, item, ini::formatDouble(value), false);
}

int Ini_PutBoolean(IniDocument* doc, const char* section, const char* item, int value) {
  if (doc == nullptr || section == nullptr || item == nullptr) return kIniNullArgument;
  return putText(doc, section, item, ini::formatBoolean(value), false);
}

int Ini_PutString(IniDocument* doc, const char* section, const char* item, const char* value) {
  if (doc == nullptr || section == nullptr || item == nullptr || value == nullptr) {
    return kIniNullArgument;
  }
  return guarded([&] { return putText(doc, section, item, ini::escapeString(value), true); });
}

int Ini_GetInt(IniDocument* doc, const char* section, const char* item, int32_t* value) {
  return getTyped(doc, section, item, value, ini::parseInt);
}

int Ini_GetUInt(IniDocument* doc, const char* section, const char* item, uint32_t* value) {
  return getTyped(doc, section, item, value, ini::parseUInt);
}

int Ini_GetDouble(IniDocument* doc, const char* section, const char* item, double* value) {
  return getTyped(doc, section, item, value, ini::parseDouble);
}

int Ini_GetBoolean(IniDocument* doc, const char* section, const char* item, int* value) {
  return getTyped(doc, section, item, value, ini::parseBoolean);
}

int Ini_GetStringIntoBuffer(IniDocument* doc, const char* section, const char* item, char* buffer,
                            size_t bufferSize) {
  if (doc == nullptr || section == nullptr || item == nullptr || buffer == nullptr) {
    return kIniNullArgument;
  }
  if (bufferSize > 0) buffer[0] = '\0';
  return guarded([&] {
    const ini::Item* stored = itemToRead(doc, section, item);
    if (stored == nullptr) return 0;
    ini::unescapeString(stored->value, &doc->stringBuffer);
    if (bufferSize > 0) {
      size_t length = std::min(doc->stringBuffer.size(), bufferSize - 1);
      std::memcpy(buffer, doc->stringBuffer.data(), length);
      buffer[length] = '\0';
    }
    return 1;
  });
}

int Ini_SetTokens(IniDocument* doc, char sectionStart, char sectionEnd, const char* separator,
                  const char* commentMarker) {
  if (doc == nullptr) return kIniNullArgument;
  constexpr size_t kMaxTokenText = 7;
  return guarded([&] {
    if (sectionStart != '\0') doc->tokens.sectionStart = sectionStart;
    if (sectionEnd != '\0') doc->tokens.sectionEnd = sectionEnd;
    setTokenText(doc->tokens.separator, separator, kMaxTokenText);
    setTokenText(doc->tokens.commentMarker, commentMarker, kMaxTokenText);
    return 0;
  });
}

int Ini_SetDuplicateChecking(IniDocument* doc, int on) {
  if (doc == nullptr) return kIniNullArgument;
  doc->duplicateChecking = on != 0;
  return 0;
}

int Ini_NumberOfSections(IniDocument* doc) {
  if (doc == nullptr) return kIniNullArgument;
  return static_cast<int>(doc->sections().size());
}

int Ini_NthSectionName(IniDocument* doc, int n, const char** name) {
  if (doc == nullptr || name == nullptr) return kIniNullArgument;
  const ini::Section* section = doc->nthSection(n);
  if (section == nullptr) return 0;
  *name = section->name.c_str();
  return 1;
}

int Ini_NumberOfItems(IniDocument* doc, const char* section) {
  if (doc == nullptr || section == nullptr) return kIniNullArgument;
  const ini::Section* found = doc->findSection(section);
  return found == nullptr ? 0 : static_cast<int>(found->items().size());
}

int Ini_NthItemName(IniDocument* doc, const char* section, int n, const char** name) {
  if (doc == nullptr || section == nullptr || name == nullptr) return kIniNullArgument;
  const ini::Section* found = doc->findSection(section);
  if (found == nullptr) return 0;
  const ini::Item* item = doc->nthItem(found, n);
  if (item == nullptr) return 0;
  *name = item->name.c_str();
  return 1;
}
