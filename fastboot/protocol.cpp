#include "fastboot/protocol.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

thread_local char fb_error_text[128] = "";

void setError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(fb_error_text, sizeof fb_error_text, format, args);
  va_end(args);
}

// Parses hexadecimal digits up to the first other character; a value too large for 64 bits
// saturates so that it is still refused as too large.
uint64_t parseHexSize(const char* text) {
  uint64_t value = 0;
  for (; *text; ++text) {
    char c = *text;
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    if (value > (UINT64_MAX >> 4)) return UINT64_MAX;
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace

const char* fb_get_error() {
  return fb_error_text;
}

namespace fastboot {

int64_t read_status_reply(fb_transport* transport, uint32_t size, bool dataExpected,
                          char* response) {
  for (;;) {
    char packet[kFastbootMaxPacket + 1];
    long received = usb_read(transport, packet, kFastbootMaxPacket);
    if (received < 0) {
      setError("status read failed (%s)", std::strerror(transport ? transport->error : 6));
      usb_kick(transport);
      return -1;
    }
    packet[received] = '\0';
    if (received < 4) {
      setError("status malformed (%ld bytes)", received);
      usb_kick(transport);
      return -1;
    }
    const char* text = packet + 4;
    if (std::memcmp(packet, "INFO", 4) == 0) {
      std::fprintf(stderr, "(bootloader) %s\n", text);
      continue;
    }
    if (std::memcmp(packet, "OKAY", 4) == 0) {
      if (response) std::strcpy(response, text);
      return 0;
    }
    if (std::memcmp(packet, "FAIL", 4) == 0) {
      if (received > 4) {
        setError("remote: %s", text);
      } else {
        setError("remote failure");
      }
      return -1;
    }
    if (dataExpected && std::memcmp(packet, "DATA", 4) == 0) {
      uint64_t accepted = parseHexSize(text);
      if (accepted > size) {
        setError("data size too large");
        usb_kick(transport);
        return -1;
      }
      return static_cast<int64_t>(accepted);
    }
    setError("unknown status code");
    usb_kick(transport);
    return -1;
  }
}

int64_t _command_send(fb_transport* transport, const char* command, const void* data, uint32_t size,
                      char* response) {
  if (response) response[0] = '\0';
  size_t length = std::strlen(command);
  if (length > static_cast<size_t>(kFastbootMaxCommand)) {
    setError("command too large");
    return -1;
  }
  if (usb_write(transport, command, static_cast<long>(length)) != static_cast<long>(length)) {
    setError("command write failed (%s)", std::strerror(transport ? transport->error : 6));
    usb_kick(transport);
    return -1;
  }
  if (!data) return read_status_reply(transport, size, false, response);

  int64_t accepted = read_status_reply(transport, size, true, nullptr);
  if (accepted < 0) return -1;
  // A loader that takes less than the whole image would have the following flash write a
  // truncated image (or an older one it still holds) and report success.
  if (accepted < size) {
    setError("data size too small");
    usb_kick(transport);
    return -1;
  }
  if (accepted > 0) {
    long written = usb_write(transport, data, static_cast<long>(accepted));
    if (written < 0) {
      setError("data transfer failure (%s)", std::strerror(transport ? transport->error : 6));
      usb_kick(transport);
      return -1;
    }
    if (written != accepted) {
      setError("data transfer failure (short transfer)");
      usb_kick(transport);
      return -1;
    }
  }
  if (read_status_reply(transport, 0, false, nullptr) < 0) return -1;
  return accepted;
}

}  // namespace fastboot

int fb_command(fb_transport* transport, const char* command) {
  return fastboot::_command_send(transport, command, nullptr, 0, nullptr) < 0 ? -1 : 0;
}

int fb_command_response(fb_transport* transport, const char* command, char* response) {
  return fastboot::_command_send(transport, command, nullptr, 0, response) < 0 ? -1 : 0;
}

int fb_download_data(fb_transport* transport, const void* data, uint32_t size) {
  char command[kFastbootMaxCommand + 1];
  std::snprintf(command, sizeof command, "download:%08x", size);
  // Without data nothing could be sent if the loader asked for it.
  if (!data && size > 0) {
    setError("data transfer failure (%s)", std::strerror(EINVAL));
    return -1;
  }
  // A download of nothing still announces itself; the data pointer only marks the data phase.
  static const char kNoData = 0;
  const void* payload = data ? data : &kNoData;
  return fastboot::_command_send(transport, command, payload, size, nullptr) < 0 ? -1 : 0;
}
