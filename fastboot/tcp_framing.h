#pragma once
// The framing of fastboot over TCP, shared by the client transport and the test device. After
// the connection opens, the client sends "FB01" and the device answers "FB" and two ASCII digits
// of its version (01 or higher). From then on every message in either direction is an 8-byte
// big-endian length followed by that many bytes.

#include <cstddef>
#include <cstdint>

namespace fastboot::tcp {

inline constexpr char kClientHello[4] = {'F', 'B', '0', '1'};
inline constexpr size_t kHandshakeSize = 4;
inline constexpr size_t kHeaderSize = 8;

void encodeLength(uint64_t length, uint8_t header[kHeaderSize]);
uint64_t decodeLength(const uint8_t header[kHeaderSize]);

// True when `reply` is "FB" and two digits that make a version of 1 or higher.
bool isValidDeviceHello(const uint8_t reply[kHandshakeSize]);

// Makes the 4-byte device answer for `version` (1 to 99).
void makeDeviceHello(int version, uint8_t reply[kHandshakeSize]);

}  // namespace fastboot::tcp
