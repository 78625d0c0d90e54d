#pragma once
// Names in INI documents are compared without regard to ASCII letter case and to surrounding
// white space. These helpers give the trimming, comparison and hashing that the lookups use.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ini {

// White space in the C locale: space, tab, line feed, vertical tab, form feed, carriage return.
inline bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

inline std::string_view trimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  return text.substr(start);
}

inline std::string_view trimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && isBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

inline std::string_view trim(std::string_view text) {
  return trimRight(trimLeft(text));
}

inline bool isAllBlank(std::string_view text) {
  return trimLeft(text).empty();
}

inline char foldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

// Orders names byte by byte with letter case folded; used by automatic sorting.
inline int compareNames(std::string_view a, std::string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    unsigned char ca = static_cast<unsigned char>(foldCase(a[i]));
    unsigned char cb = static_cast<unsigned char>(foldCase(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// FNV-1a over the case-folded bytes, so that names equal under sameName hash alike.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const {
    uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
      hash ^= static_cast<unsigned char>(foldCase(c));
      hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
  }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return sameName(a, b); }
};

}  // namespace ini
