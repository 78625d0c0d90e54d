#include "chipsets/firmware_search.h"

#include <fnmatch.h>
#include <strings.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string firstFileMatching(const std::string& folder, const std::string& pattern) {
  std::string first;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) != 0) continue;
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    if (first.empty() || name < first) first = name;
  }
  return first;
}

bool liesInFolder(const std::string& path, const std::string& folder) {
  std::string base = folder;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base.empty() || path.size() <= base.size()) return false;
  if (::strncasecmp(path.c_str(), base.c_str(), base.size()) != 0) return false;
  return base == "/" || path[base.size()] == '/';
}
