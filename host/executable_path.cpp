#include "host/executable_path.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace host {

std::string executableDir() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return self.parent_path().string();
}

std::string besideExecutable(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return name;
  std::string dir = executableDir();
  if (dir.empty()) return name;
  std::string candidate = dir + "/" + name;
  std::error_code error;
  if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  return name;
}

}  // namespace host
