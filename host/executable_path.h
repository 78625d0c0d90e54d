#pragma once
// Where the running program lives. The station finds its diagnostic libraries and helper
// programs beside its own executable, as an installed station does.

#include <string>

namespace host {

// The folder of the running executable (from /proc/self/exe), without a trailing "/";
// empty when it cannot be read.
std::string executableDir();

// For a bare file name (no "/"): the path beside the executable when such a file exists there.
// Otherwise the name unchanged, for the system's own search.
std::string besideExecutable(const std::string& name);

}  // namespace host
