#include "host/executable_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace host {

std::string executableDir() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return self.parent_path().string();
}

std::vector<std::string> helperFolders(const std::string& exeDir, bool benchInUse) {
  if (exeDir.empty()) return {};
  const std::filesystem::path lib = std::filesystem::path(exeDir).parent_path() / "lib";
  std::vector<std::string> folders{exeDir};
  if (benchInUse) folders.push_back((lib / "zendral-bench").string());
  folders.push_back((lib / "zendral").string());
  return folders;
}

std::string findHelperFile(const std::string& name, const std::vector<std::string>& folders) {
  if (name.empty() || name.find('/') != std::string::npos) return name;
  for (const std::string& folder : folders) {
    std::string candidate = folder + "/" + name;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return name;
}

std::string findHelperFile(const std::string& name) {
  const char* bench = std::getenv("ZENDRAL_BENCH");
  return findHelperFile(name, helperFolders(executableDir(), bench && *bench));
}

}  // namespace host
