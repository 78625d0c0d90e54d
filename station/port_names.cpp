#include "station/port_names.h"

#include <cctype>

namespace {

bool contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

// Reads exactly four hexadecimal digits at `at`.
bool readHex4(const std::string& text, size_t at, uint16_t& value) {
  if (at + 4 > text.size()) return false;
  unsigned result = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isxdigit(c)) return false;
    result = result * 16 + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  value = static_cast<uint16_t>(result);
  return true;
}

}  // namespace

PortRole portRoleOfName(const std::string& name) {
  const bool modulePort = contains(name, "Diag") || contains(name, "DIAG") ||
                          contains(name, "QDLoader") || contains(name, "AT Port");
  if (!modulePort) return PortRole::NotModule;
  if (contains(name, "AT Port") || contains(name, "AT Server Port")) return PortRole::AtPort;
  if (contains(name, "QDLoader 9009") || contains(name, "Diagnostics 900E")) {
    return PortRole::Port9009;
  }
  if (contains(name, "QDLoader 9008")) return PortRole::Port9008;
  return PortRole::Diagnostic;
}

int diagnosticKindOfName(const std::string& name) {
  return contains(name, "QDLoader") ? 1 : 0;
}

bool isDiagnosticPortName(const std::string& name) {
  return contains(name, "Diag") || contains(name, "DIAG") || contains(name, "QDLoader");
}

int comNumberOfFriendlyName(const std::string& name) {
  constexpr size_t kMaxDigits = 7;
  const size_t com = name.find("COM");
  if (com == std::string::npos) return 0;
  const size_t start = com + 3;
  const size_t close = name.find(')', start);
  if (close == std::string::npos) return 0;
  const size_t length = close - start;
  if (length == 0 || length > kMaxDigits) return 0;
  int number = 0;
  for (size_t i = start; i < close && std::isdigit(static_cast<unsigned char>(name[i])); ++i) {
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

bool usbIdsOfInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId) {
  const size_t vid = path.find("vid_");
  if (vid == std::string::npos) return false;
  return readHex4(path, vid + 4, vendorId) && readHex4(path, vid + 13, productId);
}
