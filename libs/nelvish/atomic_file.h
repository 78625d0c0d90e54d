#pragma once
// Replacing a file so that a crash or a failure leaves either the old or the new content.

#include <string>

namespace nelvish {

// Writes `bytes` to a temporary file in the target's folder, flushes it to disk and renames it
// over `path` (through a symbolic link, to where it points). An existing target keeps its
// permissions. Returns 0 or the errno of the failed step; on failure the target is untouched
// and no temporary file is left.
int replaceFile(const std::string& path, const std::string& bytes);

}  // namespace nelvish
