// The five profile calls over a ProfileDocument read from the file at each call.

#include "profile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "profile_document.h"
#include "profile_file.h"

namespace wexley::profile {
namespace {

ProfileDocument readDocument(const std::string& path) {
  return ProfileDocument::parse(readWholeFile(path).bytes);
}

// Stores NUL-terminated strings and a final NUL; see profile.h for what happens when they do not
// fit.
uint32_t storeList(const std::vector<std::string>& items, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  size_t used = 0;
  for (const std::string& item : items) {
    if (used + item.size() + 2 > size) {
      size_t room = size - 2 - used;
      std::memcpy(buffer + used, item.data(), std::min(room, item.size()));
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + used, item.data(), item.size());
    used += item.size();
    buffer[used++] = '\0';
  }
  buffer[used] = '\0';
  return static_cast<uint32_t>(used);
}

uint32_t storeString(std::string_view text, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  size_t length = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

std::string_view withoutQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string entryText(const ProfileLine& line) {
  return line.hasEquals ? line.name + "=" + line.value : line.name;
}

bool holdsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool writableSection(std::string_view section) {
  return !trimBlanks(section).empty() && !holdsLineBreakOrNul(section);
}

// A key that would read back as something else is refused: a comment, a header, a split at its
// own '=', or no key at all.
bool writableKey(std::string_view key) {
  std::string_view name = trimBlanks(key);
  return !name.empty() && name.front() != '[' && name.front() != ';' &&
         name.find('=') == std::string_view::npos && !holdsLineBreakOrNul(key);
}

bool writableEntry(std::string_view entry) {
  size_t equals = entry.find('=');
  return writableKey(entry.substr(0, equals)) && !holdsLineBreakOrNul(entry);
}

// Reads the file, lets `edit` change the document and writes the result back when it changed.
template <typename Edit>
bool rewrite(const std::string& path, Edit edit) {
  FileContent content = readWholeFile(path);
  if (!content.readable) return false;
  ProfileDocument document = ProfileDocument::parse(content.bytes);
  edit(document);
  std::string bytes = document.bytes();
  if (bytes == content.bytes) return true;
  return replaceWholeFile(path, bytes);
}

}  // namespace

uint32_t readSectionNames(char* buffer, uint32_t size, const std::string& path) {
  ProfileDocument document = readDocument(path);
  std::vector<std::string> names;
  for (const ProfileLine& line : document.lines()) {
    if (line.kind == ProfileLine::Kind::kSection && !line.name.empty()) names.push_back(line.name);
  }
  return storeList(names, buffer, size);
}

uint32_t readSection(std::string_view section, char* buffer, uint32_t size,
                     const std::string& path) {
  ProfileDocument document = readDocument(path);
  std::vector<std::string> entries;
  for (const ProfileLine* line : document.entries(section)) {
    entries.push_back(entryText(*line));
  }
  return storeList(entries, buffer, size);
}

uint32_t readString(std::string_view section, std::optional<std::string_view> key,
                    std::string_view fallback, char* buffer, uint32_t size,
                    const std::string& path) {
  ProfileDocument document = readDocument(path);
  if (!key) {
    std::vector<std::string> keys;
    for (const ProfileLine* line : document.entries(section)) {
      if (!line->name.empty()) keys.push_back(line->name);
    }
    return storeList(keys, buffer, size);
  }
  std::optional<size_t> header = document.findSection(section);
  std::optional<size_t> entry = header ? document.findEntry(*header, *key) : std::nullopt;
  if (!entry) {
    size_t end = fallback.find_last_not_of(' ');
    return storeString(end == std::string_view::npos ? "" : fallback.substr(0, end + 1), buffer,
                       size);
  }
  return storeString(withoutQuotes(document.lines()[*entry].value), buffer, size);
}

bool writeString(std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value, const std::string& path) {
  if (!key) {
    return rewrite(path, [&](ProfileDocument& document) { document.removeSection(section); });
  }
  if (!value) {
    return rewrite(path, [&](ProfileDocument& document) { document.removeEntry(section, *key); });
  }
  if (!writableSection(section) || !writableKey(*key) || holdsLineBreakOrNul(*value)) {
    return false;
  }
  return rewrite(path,
                 [&](ProfileDocument& document) { document.setValue(section, *key, *value); });
}

bool writeSection(std::string_view section, const char* content, const std::string& path) {
  if (content == nullptr) {
    return rewrite(path,
                   [&](ProfileDocument& document) { document.replaceBody(section, {}, false); });
  }
  std::vector<std::string> entries;
  for (const char* entry = content; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (!writableEntry(entry)) return false;
    entries.emplace_back(entry);
  }
  if (!writableSection(section)) return false;
  return rewrite(path,
                 [&](ProfileDocument& document) { document.replaceBody(section, entries, true); });
}

}  // namespace wexley::profile
