#include "platform/platform_file.h"

#include <filesystem>
#include <system_error>

int readPlatformIniFile(IniDocument* doc, const char* path) {
  std::error_code error;
  if (path && !std::filesystem::exists(path, error) && !error) return 0;
  return Ini_ReadFromFile(doc, path);
}
