// Whole-file reads and atomic replacement: temporary file beside the target, fsync, rename over
// the target, fsync of the folder so that the rename itself reaches the disk.

#include "profile_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace wexley {
namespace {

constexpr int kMostLinkHops = 40;
constexpr int kTemporaryNameTries = 100;

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The path a write really replaces: symbolic links are followed, dangling ones too (the write
// then creates the file the link names).
std::string followLinks(std::string path) {
  for (int hop = 0; hop < kMostLinkHops; ++hop) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) return path;
    target.resize(static_cast<size_t>(length));
    path = target.front() == '/' ? target : folderOf(path) + "/" + target;
  }
  return path;
}

// A new name in `folder` for the temporary file; a leading dot keeps it out of plain listings.
std::string temporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, "/.wexley-%d-%llx-%u.tmp", static_cast<int>(::getpid()),
                static_cast<unsigned long long>(now), counter.fetch_add(1));
  return folder + suffix;
}

// Creates the temporary file. A new target's file is created with 0666 so that the process's
// umask gives it the permissions any plain create would.
int createTemporary(const std::string& folder, bool targetExists, std::string& name) {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    name = temporaryName(folder);
    int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, targetExists ? 0600 : 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Fills, flushes and closes the temporary file; the target's permissions and owner go with it.
bool fillTemporary(int fd, std::string_view bytes, const struct stat* target) {
  bool ok = writeAll(fd, bytes);
  if (ok && target != nullptr) {
    ok = ::fchmod(fd, target->st_mode & 07777) == 0;
    // Only a privileged writer may give the file away; anyone else keeps the file as their own.
    if (ok && target->st_uid != ::geteuid()) (void)!::fchown(fd, target->st_uid, target->st_gid);
  }
  ok = ok && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

FileContent readWholeFile(const std::string& path) {
  FileContent content;
  // Non-blocking, so that a pipe at the path is refused instead of waited on.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    content.readable = errno == ENOENT || errno == ENOTDIR;
    return content;
  }
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    content.exists = true;
    content.readable = true;
    char chunk[65536];
    for (;;) {
      ssize_t got = ::read(fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) content.readable = false;
      if (got <= 0) break;
      content.bytes.append(chunk, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  if (!content.readable) content.bytes.clear();
  return content;
}

bool replaceWholeFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  std::string target = followLinks(path);
  struct stat existing;
  bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return false;
  // A rename would replace a file that may not be written, or a folder or device: refuse those.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

  std::string folder = folderOf(target);
  std::string temporary;
  int fd = createTemporary(folder, exists, temporary);
  if (fd < 0) return false;
  bool ok = fillTemporary(fd, bytes, exists ? &existing : nullptr) &&
            ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  syncFolder(folder);
  return true;
}

}  // namespace wexley
