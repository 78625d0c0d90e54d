#pragma once
// SHA-256 of files, as lower-case hex: what the run records keep of every image and backup.

#include <cstdint>
#include <optional>
#include <string>

namespace records {

struct FileDigest {
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};

// Reads the whole file; nullopt when it cannot be opened or read to its end.
std::optional<FileDigest> sha256OfFile(const std::string& path);

// The digest of `bytes` (for tests and small texts).
std::string sha256OfText(const std::string& bytes);

}  // namespace records
