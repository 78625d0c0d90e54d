// Atomic replacement of a file: temporary file in the same folder, fsync, rename, fsync of the
// folder so that the rename itself is on disk.

#include "ini/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ini/inifile.h"

namespace ini {
namespace {

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A target that is a symbolic link is replaced where it points, so the link stays a link.
std::string resolveTarget(const char* path) {
  struct stat info;
  if (::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = ::realpath(path, nullptr)) {
      std::string resolved = real;
      std::free(real);
      return resolved;
    }
  }
  return path;
}

// New files get the permissions a plain create would give them.
mode_t modeForNewFile() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) mask = static_cast<mode_t>(value);
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes, flushes and closes the temporary file; returns 0 or the first errno.
int fillTemporary(int fd, const std::function<int(int)>& produce, const struct stat* existing) {
  int error = produce(fd);
  if (error == 0) {
    mode_t mode = existing ? (existing->st_mode & 07777) : modeForNewFile();
    if (::fchmod(fd, mode) != 0) error = errno;
  }
  if (error == 0 && existing != nullptr && existing->st_uid != ::geteuid()) {
    // Best effort: keep the owner when we are allowed to.
    (void)!::fchown(fd, existing->st_uid, existing->st_gid);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

int writeErrorCode(int error) {
  switch (error) {
    case EPERM:
    case EACCES:
    case EROFS:
      return kIniNotWritable;
    case ENOSPC:
    case EDQUOT:
      return kIniDiskFull;
    default:
      return kIniWriteError;
  }
}

int replaceFileAtomically(const char* path, const std::function<int(int fd)>& produce) {
  std::string target = resolveTarget(path);
  struct stat existing;
  bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists) {
    // Only a regular file is replaced; a folder or a device node is refused.
    if (!S_ISREG(existing.st_mode)) return kIniNotWritable;
    if (::access(target.c_str(), W_OK) != 0) return writeErrorCode(errno);
  } else if (errno != ENOENT) {
    return writeErrorCode(errno);
  }

  std::string folder = folderOf(target);
  std::string temporary = folder + "/ini$$XXXXXX.CVI";
  int fd = ::mkostemps(temporary.data(), 4, O_CLOEXEC);
  if (fd < 0) return writeErrorCode(errno);

  int error = fillTemporary(fd, produce, exists ? &existing : nullptr);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return writeErrorCode(error);
  }
  syncFolder(folder);
  return 0;
}

}  // namespace ini
