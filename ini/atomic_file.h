#pragma once
// Replacing a file so that a crash or a failure leaves either the old or the new content,
// never neither and never a part.

#include <functional>

namespace ini {

// Writes a new version of `path`: `produce` writes the whole content to the descriptor it is
// given and returns 0 or an errno. The content goes to a temporary file "ini$$XXXXXX.CVI" in
// the target's folder, which is flushed to disk and then renamed over the target. The target
// keeps its permissions. On any failure the target is untouched and the temporary file removed.
// Returns 0, kIniNotWritable, kIniDiskFull or kIniWriteError.
int replaceFileAtomically(const char* path, const std::function<int(int fd)>& produce);

// The store's code for a failed write with this errno.
int writeErrorCode(int error);

}  // namespace ini
