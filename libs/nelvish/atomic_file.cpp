// Atomic replacement: temporary file in the same folder, fsync, rename, fsync of the folder so
// that the rename itself reaches the disk.

#include "libs/nelvish/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace nelvish {
namespace {

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string followLink(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

int writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    done += static_cast<size_t>(written);
  }
  return 0;
}

// A new file gets what a plain create would give it. The umask is read, not set: setting it,
// even briefly, would change it for every thread of the caller.
mode_t newFileMode() {
  unsigned mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      std::sscanf(line, "Umask: %o", &mask);
    }
    std::fclose(status);
  }
  return 0666 & ~static_cast<mode_t>(mask);
}

int fillAndClose(int fd, const std::string& bytes, mode_t mode) {
  int error = writeAll(fd, bytes);
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int replaceFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return ENOENT;
  // The system would take the path only up to a NUL: that would be another file.
  if (path.find('\0') != std::string::npos) return EINVAL;
  std::string target = followLink(path);
  struct stat existing;
  mode_t mode = newFileMode();
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return EISDIR;
    if (!S_ISREG(existing.st_mode)) return EINVAL;
    if (::access(target.c_str(), W_OK) != 0) return errno;
    mode = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    return errno;
  }

  std::string folder = folderOf(target);
  std::string temporary = folder + "/.nelvish-XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = fillAndClose(fd, bytes, mode);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  syncFolder(folder);
  return 0;
}

}  // namespace nelvish
