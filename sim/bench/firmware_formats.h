#pragma once
// What a module checks in the firmware it is given. A flash programmer starts with one header
// line naming its kind and platform and the SHA-256 of everything after that line, so a module
// can tell a programmer that does not suit it, or one that was damaged, from a good one. A
// partition file ("partition.mbn") is a text table of the partition names the flash will hold.
// The firmware maker writes both forms.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace sim {

// The kind of programmer a file name stands for: "normal" (NPRG...), "emergency" (ENPRG...),
// "firehose" (...firehose...), or nothing when the file is not a programmer.
std::optional<std::string> programmerKindOf(const std::string& fileName);

// The header line of a programmer whose body (what follows the line) is `body`.
std::string programmerHeader(const std::string& kind, const std::string& platform,
                             const std::string& body);

struct ProgrammerCheck {
  bool valid = false;  // the header is whole and the body's digest matches it
  std::string kind;
  std::string platform;
};
ProgrammerCheck checkProgrammer(const std::string& contents);

// A partition table holding `names`, and the names a table holds (nothing when the contents
// are not a table).
std::string partitionTableText(const std::set<std::string>& names);
std::optional<std::set<std::string>> readPartitionTable(const std::string& contents);

// Reads a whole file of at most `limit` bytes; false when it cannot be read or is larger.
bool readFileUpTo(const std::string& path, std::string& contents, uint64_t limit);

// The partition name as the module keeps it: lower case, without a "0:" prefix.
std::string partitionKey(const std::string& name);

}  // namespace sim
