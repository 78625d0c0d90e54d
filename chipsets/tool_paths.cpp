#include "chipsets/tool_paths.h"

#include <filesystem>
#include <system_error>

int SegmentationPath(const std::string& path, std::string* directory, std::string* name) {
  if (!directory || !name || path.empty()) return 0;
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *directory = ".";
    *name = path;
  } else {
    *directory = path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
  return 1;
}

int IsFileExist(const std::string& pattern, const std::string& name) {
  if (name.empty() || !pattern.ends_with("/*")) return 1;
  const std::string folder = pattern.substr(0, pattern.size() - 2);
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder.empty() ? "/" : folder, error), end;
       !error && it != end; it.increment(error)) {
    if (it->path().filename().string() == name) return 0;
  }
  return 1;
}
