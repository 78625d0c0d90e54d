#include "chipsets/dir_settings.h"

#include <climits>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/platform_file.h"
#include "platform/platform_settings.h"

namespace {

// The texts of the file hold at most 259 characters.
constexpr size_t kTextSize = 260;

}  // namespace

int readDirText(IniDocument* doc, const char* item, std::string& out) {
  return readSectionText(doc, kDirSection, item, out);
}

int readSectionText(IniDocument* doc, const char* section, const char* item, std::string& out) {
  char buffer[kTextSize];
  const int result = Ini_GetStringIntoBuffer(doc, section, item, buffer, sizeof buffer);
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

int readFolderSettings(IniDocument* doc, const char* file, std::string& folder) {
  int result = readPlatformIniFile(doc, file);
  if (result < 0) return result;
  if ((result = readDirText(doc, "Dir Path", folder)) < 0) return result;
  if ((result = readDirUnsigned(doc, "Qcn File Low Limit", qcnFileLowLimit)) < 0) return result;
  return readQcnHighLimit(doc);
}

void putFolderSettings(IniDocument* d, const std::string& folder, IniWrites& put) {
  put(Ini_PutString(d, kDirSection, "Dir Path", folder.c_str()));
  put(Ini_PutString(d, kDirSection, "Qcn Path", folder.c_str()));
  put(Ini_PutString(d, kDirSection, "CheckCFUN", checkCFUNStr.c_str()));
  put(Ini_PutUInt(d, kDirSection, "Qcn File Low Limit", static_cast<uint32_t>(qcnFileLowLimit)));
  put(Ini_PutUInt(d, kDirSection, "Qcn File High Limit", static_cast<uint32_t>(qcnFileHighLimit)));
}

int writePlatformIni(IniDocument* doc, const char* file, const IniWrites& writes) {
  if (writes.firstError() != 0) return writes.firstError();
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
  return Ini_WriteToFile(doc, file);
}
