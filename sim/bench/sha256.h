#pragma once
// SHA-256 (FIPS 180-4) for the bench's records of what was written into a module: partitions,
// programmers and NV items are reported by size and digest, so tests compare them with files.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

class Sha256 {
 public:
  Sha256();
  void update(const void* data, size_t length);
  // The digest as 64 lower-case hexadecimal characters. Ends the computation.
  std::string hexDigest();

 private:
  void compress(const uint8_t block[64]);

  std::array<uint32_t, 8> state_;
  uint8_t block_[64] = {};
  size_t blockUsed_ = 0;
  uint64_t totalBytes_ = 0;
};

std::string sha256Hex(const void* data, size_t length);
inline std::string sha256Hex(const std::string& bytes) {
  return sha256Hex(bytes.data(), bytes.size());
}
// Digest and size of a file; false when it cannot be read.
bool sha256OfFile(const std::string& path, std::string& hex, uint64_t& size);

}  // namespace sim
