#include "chipsets/firmware_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool isFirmwareFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error);
}

bool isFirmwareFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

uint64_t firmwareFileSize(const std::string& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

std::string stationImage(const char* name) {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  return (error ? fs::path(".") : here).string() + "/" + name;
}
