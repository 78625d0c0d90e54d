#include "chipsets/dir_settings.h"

#include <climits>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/platform_settings.h"

namespace {

// The texts of the file hold at most 259 characters.
constexpr size_t kTextSize = 260;

}  // namespace

int readDirText(IniDocument* doc, const char* item, std::string& out) {
  char buffer[kTextSize];
  const int result = Ini_GetStringIntoBuffer(doc, kDirSection, item, buffer, sizeof buffer);
  if (result >= 0) out = buffer;
  return result;
}

int readDirUnsigned(IniDocument* doc, const char* item, int& out) {
  uint32_t value = 0;
  const int result = Ini_GetUInt(doc, kDirSection, item, &value);
  if (result == 1) out = value > INT_MAX ? INT_MAX : static_cast<int>(value);
  return result;
}

int readQcnHighLimit(IniDocument* doc) {
  const int result = readDirUnsigned(doc, "Qcn File High Limit", qcnFileHighLimit);
  if (qcnFileHighLimit == 0) qcnFileHighLimit = 1000;
  return result;
}

int writePlatformIni(IniDocument* doc, const char* file, const IniWrites& writes) {
  if (writes.firstError() != 0) return writes.firstError();
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
  return Ini_WriteToFile(doc, file);
}
