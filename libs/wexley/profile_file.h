// Reading a profile file whole, and replacing it so that a crash or a failed write leaves either
// the old or the new file, never a part of one.
#pragma once

#include <string>
#include <string_view>

namespace wexley {

struct FileContent {
  bool readable = false;  // false: the path names something that exists but cannot be read
  bool exists = false;
  std::string bytes;
};

// Reads the regular file at `path`. A missing file is readable and empty; a folder, a device,
// a pipe or a file without read permission is not readable (and is never waited on).
FileContent readWholeFile(const std::string& path);

// Replaces the file at `path` with `bytes`: a temporary file in the target's folder is written,
// flushed to disk and renamed over the target. A symbolic link is followed, so the file it
// points to is replaced and the link stays. An existing target keeps its permissions (and its
// owner where that is allowed); a new one gets those a plain create gives. Only a regular file
// that may be written is replaced. Returns false, with the target untouched and no temporary
// file left behind, when anything fails.
bool replaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace wexley
