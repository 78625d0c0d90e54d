// Checks of names and texts before they enter a document.

#include "libs/nelvish/text_rules.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace nelvish {
namespace {

[[noreturn]] void refuse(const char* what, const std::string& why) {
  throw std::runtime_error(std::string(what) + " " + why);
}

// Decodes the UTF-8 sequence at `pos`, advancing it; returns -1 for an invalid sequence
// (truncated, overlong, a surrogate or beyond U+10FFFF).
int32_t nextCodePoint(const std::string& text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(pos);
  int length = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || pos + length > text.size()) return -1;
  int32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    uint8_t next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return -1;
    code = (code << 6) | (next & 0x3F);
  }
  static constexpr int32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return -1;
  }
  pos += length;
  return code;
}

bool isXmlChar(int32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

bool isAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  }
  return true;
}

// Encodings that hold every character.
bool coversAllOfUnicode(const std::string& encoding) {
  for (const char* name :
       {"UTF-8", "UTF8", "UTF-16", "UTF-16LE", "UTF-16BE", "UCS-4", "UCS-2", "GB18030"}) {
    if (strcasecmp(encoding.c_str(), name) == 0) return true;
  }
  return false;
}

}  // namespace

void requireXmlText(const std::string& text, const char* what) {
  for (size_t pos = 0; pos < text.size();) {
    int32_t code = nextCodePoint(text, pos);
    if (code < 0) refuse(what, "is not valid UTF-8");
    if (!isXmlChar(code)) refuse(what, "holds a character that XML cannot carry");
  }
}

QualifiedName requireQualifiedName(const std::string& name, const char* what) {
  requireXmlText(name, what);
  if (xmlValidateQName(BAD_CAST name.c_str(), 0) != 0) {
    refuse(what, "'" + name + "' is not a valid XML name");
  }
  size_t colon = name.find(':');
  if (colon == std::string::npos) return {"", name};
  return {name.substr(0, colon), name.substr(colon + 1)};
}

void requireCommentText(const std::string& text) {
  requireXmlText(text, "the comment");
  if (text.find("--") != std::string::npos) refuse("the comment", "must not contain \"--\"");
  if (!text.empty() && text.back() == '-') refuse("the comment", "must not end with \"-\"");
}

std::string documentEncoding(xmlDocPtr doc) {
  if (doc->encoding == nullptr) return "UTF-8";
  return reinterpret_cast<const char*>(doc->encoding);
}

void requireEncodable(xmlDocPtr doc, const std::string& text, const char* what) {
  std::string encoding = documentEncoding(doc);
  if (isAscii(text) || coversAllOfUnicode(encoding)) return;
  iconv_t converter = iconv_open(encoding.c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    refuse(what, "cannot be checked against the document's encoding " + encoding);
  }
  std::vector<char> input(text.begin(), text.end());
  std::vector<char> output(text.size() * 4 + 16);
  char* in = input.data();
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
  int error = errno;
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) && error == EILSEQ) {
    refuse(what, "holds a character that the document's encoding " + encoding + " cannot hold");
  }
}

}  // namespace nelvish
