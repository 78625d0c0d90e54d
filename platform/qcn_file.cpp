#include "platform/qcn_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "host/local_time.h"
#include "platform/platform_settings.h"

bool isPlainQcnName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string qcnFilePathFor(const std::string& name, int op) {
  std::string path = qcnFilePath;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name + "." + qcnExtension(op);
}

std::optional<uint64_t> qcnFileSize(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return std::nullopt;
  return size;
}

bool qcnSizePlausible(uint64_t size) {
  const int64_t low = static_cast<int64_t>(qcnFileLowLimit) * 1024;
  const int64_t high = static_cast<int64_t>(qcnFileHighLimit) * 1024;
  const auto bytes = static_cast<int64_t>(size);
  return size > 0 && low <= bytes && bytes <= high;
}

namespace {

// Renames without ever replacing a file that has the new name, so a backup moved aside earlier
// is never lost. File systems without the no-replace rename get a second name with link(),
// which refuses an existing name as well, and then lose the first.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string moveQcnAside(const std::string& path) {
  const std::string stem = path + "." + host::localTimeText("%Y%m%d-%H%M%S");
  for (int serial = 1; serial < 1000; ++serial) {
    const std::string target =
        serial == 1 ? stem + ".bak" : stem + "-" + std::to_string(serial) + ".bak";
    if (renameWithoutReplacing(path, target)) return target;
    if (errno != EEXIST) return {};
  }
  return {};
}
