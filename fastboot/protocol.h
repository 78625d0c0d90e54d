#pragma once
// The fastboot request/reply layer: short text commands, status packets ("INFO", "OKAY",
// "FAIL", "DATA") and the data phase of "download". It works on an open transport, knows
// nothing of partitions or progress, and keeps the text of the last failure per thread.
// A failure at transport level (or a reply that makes no sense) releases the transport's
// endpoints so that later operations fail at once; a FAIL from the loader does not.

#include <cstdint>

#include "fastboot/transport.h"

// Longest command the wire carries, and the size of one status packet.
inline constexpr int kFastbootMaxCommand = 64;
inline constexpr int kFastbootMaxPacket = 64;
// A response buffer must hold the longest reply text (60 characters) and its terminator.
inline constexpr int kFastbootResponseSize = 65;

// Sends a command without a data phase. 0 on OKAY, -1 on any failure.
int fb_command(fb_transport* transport, const char* command);
// As fb_command, and copies the OKAY text into `response` (at least 65 bytes). The response is
// emptied before anything is sent, so it is empty after every failure.
int fb_command_response(fb_transport* transport, const char* command, char* response);
// Sends "download:%08x" with `size`, then the data. 0 on success, -1 on failure.
int fb_download_data(fb_transport* transport, const void* data, uint32_t size);
// The description of the most recent failure on this thread.
const char* fb_get_error();

namespace fastboot {

// The exchange behind the operations above. `data` is null for a command without data phase.
// Returns -1 on failure, else the size the loader accepted in its DATA reply (0 without data);
// a loader that accepts less than `size` fails the exchange with "data size too small".
int64_t _command_send(fb_transport* transport, const char* command, const void* data, uint32_t size,
                      char* response);

// Reads replies until one that is not INFO arrives and interprets it. With `dataExpected`, a
// DATA reply of at most `size` bytes gives that size; otherwise OKAY gives 0.
int64_t read_status_reply(fb_transport* transport, uint32_t size, bool dataExpected,
                          char* response);

}  // namespace fastboot
