#include "fastboot/tcp_framing.h"

namespace fastboot::tcp {

void encodeLength(uint64_t length, uint8_t header[kHeaderSize]) {
  for (size_t i = 0; i < kHeaderSize; ++i) {
    header[kHeaderSize - 1 - i] = static_cast<uint8_t>(length >> (8 * i));
  }
}

uint64_t decodeLength(const uint8_t header[kHeaderSize]) {
  uint64_t length = 0;
  for (size_t i = 0; i < kHeaderSize; ++i) length = (length << 8) | header[i];
  return length;
}

bool isValidDeviceHello(const uint8_t reply[kHandshakeSize]) {
  if (reply[0] != 'F' || reply[1] != 'B') return false;
  auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  if (!digit(reply[2]) || !digit(reply[3])) return false;
  return (reply[2] - '0') * 10 + (reply[3] - '0') >= 1;
}

void makeDeviceHello(int version, uint8_t reply[kHandshakeSize]) {
  reply[0] = 'F';
  reply[1] = 'B';
  reply[2] = static_cast<uint8_t>('0' + (version / 10) % 10);
  reply[3] = static_cast<uint8_t>('0' + version % 10);
}

}  // namespace fastboot::tcp
