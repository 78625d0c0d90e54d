// Text and file utilities: UTF-8 and wide text conversion, file size, substring replacement.

#include "host/stringplus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[at]; returns its code point and advances `at`. An invalid
// or truncated sequence yields U+FFFD and consumes one byte.
char32_t decodeUtf8(const unsigned char* text, size_t length, size_t& at) {
  unsigned char lead = text[at];
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  int trail = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3, code = lead & 0x07, minimum = 0x10000;
  } else {
    ++at;
    return kReplacement;
  }
  if (at + trail >= length) {
    ++at;
    return kReplacement;
  }
  for (int i = 1; i <= trail; ++i) {
    unsigned char next = text[at + i];
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++at;
    return kReplacement;
  }
  at += trail + 1;
  return code;
}

void encodeUtf8(char32_t code, std::string& out) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

wchar_t* char2wchar(const char* text) {
  thread_local std::wstring result;
  result.clear();
  if (text != nullptr) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t length = std::strlen(text);
    for (size_t at = 0; at < length;) {
      result += static_cast<wchar_t>(decodeUtf8(bytes, length, at));
    }
  }
  return result.data();
}

char* wchar2char(const wchar_t* text) {
  thread_local std::string result;
  result.clear();
  if (text != nullptr) {
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
      encodeUtf8(static_cast<char32_t>(*c), result);
    }
  }
  return result.data();
}

uint32_t get_file_size(const char* path) {
  if (path == nullptr) return 0;
  // Non-blocking, so that opening a FIFO never waits for a writer.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return 0;
  struct stat info;
  bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  if (!regular) return 0;
  if (static_cast<uint64_t>(info.st_size) > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(info.st_size);
}

char* strrpl(const char* source, char* destination, int size, const char* from, const char* to) {
  if (source == nullptr || destination == nullptr || from == nullptr || to == nullptr) {
    return nullptr;
  }
  if (*source == '\0' || *from == '\0' || size <= 0) return nullptr;
  // The room counts what the destination already holds, so appending never overruns it.
  size_t existing = strnlen(destination, static_cast<size_t>(size));
  if (existing >= static_cast<size_t>(size)) return destination;
  size_t room = static_cast<size_t>(size) - 1 - existing;
  size_t fromLength = std::strlen(from);
  size_t toLength = std::strlen(to);
  char* out = destination + existing;
  const char* at = source;
  while (*at != '\0' && room > 0) {
    if (std::strncmp(at, from, fromLength) == 0) {
      if (toLength > room) break;
      std::memcpy(out, to, toLength);
      out += toLength;
      room -= toLength;
      at += fromLength;
    } else {
      *out++ = *at++;
      --room;
    }
  }
  *out = '\0';
  return destination;
}
