// Conversions between INI value text and typed values, and string escaping.

#include "ini/values.h"

#include <locale.h>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "ini/inifile.h"
#include "ini/names.h"

namespace ini {
namespace {

struct Digits {
  bool valid = false;
  bool negative = false;
  uint64_t magnitude = 0;  // saturates just above the unsigned 32-bit range
};

// Optional white space, at most one sign directly before one or more decimal digits, optional
// white space, nothing else.
Digits scanInteger(std::string_view text) {
  Digits result;
  text = trim(text);
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    result.negative = text[at] == '-';
    ++at;
  }
  if (at == text.size()) return result;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c < '0' || c > '9') return result;
    if (result.magnitude <= 0xFFFFFFFFull) result.magnitude = result.magnitude * 10 + (c - '0');
  }
  result.valid = true;
  return result;
}

// Decimal conversion in the "C" locale, whatever locale the process runs in.
locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

int parseInt(std::string_view text, int32_t* value) {
  if (isAllBlank(text)) return 0;
  Digits digits = scanInteger(text);
  if (!digits.valid) return kIniInvalidInt;
  uint64_t limit = digits.negative ? 2147483648ull : 2147483647ull;
  if (digits.magnitude > limit) return kIniInvalidInt;
  int64_t signedValue = static_cast<int64_t>(digits.magnitude);
  *value = static_cast<int32_t>(digits.negative ? -signedValue : signedValue);
  return 1;
}

int parseUInt(std::string_view text, uint32_t* value) {
  if (isAllBlank(text)) return 0;
  Digits digits = scanInteger(text);
  if (!digits.valid || digits.negative || digits.magnitude > 0xFFFFFFFFull) return kIniInvalidUInt;
  *value = static_cast<uint32_t>(digits.magnitude);
  return 1;
}

int parseDouble(std::string_view text, double* value) {
  if (isAllBlank(text)) return 0;
  if (sameName(text, "Inf") || sameName(text, "+Inf")) {
    *value = HUGE_VAL;
    return 1;
  }
  if (sameName(text, "-Inf")) {
    *value = -HUGE_VAL;
    return 1;
  }
  std::string copy(text);  // the conversion needs a terminated text
  char* end = nullptr;
  errno = 0;
  double converted = strtod_l(copy.c_str(), &end, cLocale());
  if (end != copy.c_str() + copy.size()) return kIniInvalidDouble;
  // A range error is an overflow or an underflow to zero; a tiny but representable value (as
  // formatDouble writes it) is accepted so that every stored double reads back.
  if (errno == ERANGE && (std::isinf(converted) || converted == 0.0)) return kIniInvalidDouble;
  *value = converted;
  return 1;
}

int parseBoolean(std::string_view text, int* value) {
  if (isAllBlank(text)) return 0;
  if (sameName(text, "True")) {
    *value = 1;
  } else if (sameName(text, "False")) {
    *value = 0;
  } else {
    return kIniInvalidBoolean;
  }
  return 1;
}

std::string formatInt(int32_t value) {
  return std::to_string(value);
}

std::string formatUInt(uint32_t value) {
  return std::to_string(value);
}

std::string formatDouble(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 16);
  return std::string(text, result.ptr);
}

std::string formatBoolean(int value) {
  return value ? "True" : "False";
}

std::string escapeString(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 2);
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0f];
        } else {
          out += c;
        }
    }
  }
  return out;
}

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void unescapeString(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out->push_back(c);  // a backslash at the very end stands for itself
      continue;
    }
    char next = text[++i];
    switch (next) {
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      case 't':
        out->push_back('\t');
        break;
      case 'x': {
        // Up to two hex digits give one byte; "\x" without a digit stands for "x".
        int byte = 0;
        int digits = 0;
        while (digits < 2 && i + 1 < text.size() && hexDigit(text[i + 1]) >= 0) {
          byte = byte * 16 + hexDigit(text[++i]);
          ++digits;
        }
        out->push_back(digits == 0 ? 'x' : static_cast<char>(byte));
        break;
      }
      default:
        out->push_back(next);
    }
  }
}

}  // namespace ini
