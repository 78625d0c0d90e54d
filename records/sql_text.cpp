#include "records/sql_text.h"

namespace records {
namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t utf8SequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  size_t length;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // Overlong three- and four-byte forms, surrogates and values past U+10FFFF.
  const unsigned char second = byte(at + 1);
  if (lead == 0xE0 && second < 0xA0) return 0;
  if (lead == 0xED && second > 0x9F) return 0;
  if (lead == 0xF0 && second < 0x90) return 0;
  if (lead == 0xF4 && second > 0x8F) return 0;
  return length;
}

}  // namespace

std::string sqlText(const std::string& value) {
  std::string quoted = "'";
  for (size_t at = 0; at < value.size();) {
    const char c = value[at];
    if (c == '\0') {
      ++at;
      continue;
    }
    const size_t length = utf8SequenceLength(value, at);
    if (length == 0) {
      quoted += '?';
      ++at;
      continue;
    }
    if (c == '\'') quoted += '\'';
    quoted.append(value, at, length);
    at += length;
  }
  quoted += '\'';
  return quoted;
}

std::string sqlNumber(int64_t value) {
  return std::to_string(value);
}

std::string sqlNumber(const std::optional<int64_t>& value) {
  return value ? std::to_string(*value) : "NULL";
}

}  // namespace records
