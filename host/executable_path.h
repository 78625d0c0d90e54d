#pragma once
// Where the running program lives, and where it finds the files it uses by bare name: the
// diagnostic libraries and the outside tools. A build keeps them beside the executables; an
// installed station finds the line PC's own in <prefix>/lib/zendral/, and the virtual bench's
// simulated ones in <prefix>/lib/zendral-bench/ only while the bench is in use.

#include <string>
#include <vector>

namespace host {

// The folder of the running executable (from /proc/self/exe), without a trailing "/";
// empty when it cannot be read.
std::string executableDir();

// The folders searched, in order, for a file named without a folder: `exeDir` itself; with the
// bench in use, <prefix>/lib/zendral-bench; then <prefix>/lib/zendral, where <prefix> is the
// folder above `exeDir`. Without the bench the simulated files are never searched, so they can
// never stand in for a line PC's real library. Empty when `exeDir` is.
std::vector<std::string> helperFolders(const std::string& exeDir, bool benchInUse);

// For a bare file name (no "/"): the path of the first regular file of that name in `folders`.
// Otherwise, or when there is none, the name unchanged, for the system's own search.
std::string findHelperFile(const std::string& name, const std::vector<std::string>& folders);

// The same in the running executable's folders; the bench is in use when ZENDRAL_BENCH is set.
std::string findHelperFile(const std::string& name);

}  // namespace host
