#pragma once
// How items lie in lines: the reader keeps only the first 255 characters of a line, and a value
// too long for one line is stored as numbered item lines, "Tag Line0001", "Tag Line0002" and so
// on, which the reader joins back into the item "Tag".

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ini/names.h"

namespace ini {

// Only this many characters of a line are kept; the rest of a longer line is skipped.
constexpr size_t kMaxLineLength = 255;

struct NumberedLine {
  bool isLine = false;
  std::string_view baseName;
  uint64_t number = 0;
};

// Whether `name` is one line of a multi-line item, and of which item and line.
inline NumberedLine numberedLine(std::string_view name) {
  static constexpr std::string_view kMarker = " Line";
  NumberedLine result;
  size_t at = name.rfind(kMarker);
  if (at == std::string_view::npos) return result;
  std::string_view digits = name.substr(at + kMarker.size());
  if (digits.empty()) return result;
  for (char c : digits) {
    if (c < '0' || c > '9') return result;
    if (result.number < 1000000) result.number = result.number * 10 + (c - '0');
  }
  result.isLine = true;
  result.baseName = trimRight(name.substr(0, at));
  return result;
}

}  // namespace ini
