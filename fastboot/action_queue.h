#pragma once
// The queue of fastboot steps that writes a firmware's application images. It is built once
// when a firmware is loaded (fastboot/flash_sequences.h) and run unchanged for every DUT
// (fastboot/executor.h). The image data that download steps point to is not owned here: it
// lives in the image buffers of fastboot/image_loader.h.

#include <cstdint>
#include <string>
#include <vector>

enum fb_action_kind : uint32_t {
  OP_DOWNLOAD = 1,
  OP_COMMAND = 2,
  OP_QUERY = 3,
  OP_NOTICE = 4,
};

struct fb_action;
// Called when a step has run, with its status and a text (the error text or the reply); a
// non-zero result stops the queue.
using fb_action_handler = int (*)(fb_action* action, int status, const char* response);

// The longest command a queued step may hold, with its terminator.
inline constexpr int kActionCommandSize = 64;

struct fb_action {
  uint32_t kind = 0;
  fb_action* next = nullptr;
  char command[kActionCommandSize] = {};
  // download: the first byte of the data; notice: the text to show. Queries keep their label
  // or allowed values in `texts`.
  const void* data = nullptr;
  // download: byte count; require: number of allowed values.
  uint32_t size = 0;
  // Shown in the DUT's log when the step begins; null for none.
  char* message = nullptr;
  fb_action_handler handler = nullptr;
  // Seconds since the epoch at which the step began; -1.0 until then.
  double start = -1.0;
  // require (0) or reject (1) for a value query.
  int invert = 0;
  // Text the step owns: the notice text, the display label, or the allowed values.
  std::vector<std::string> texts;
};

// Largest piece of one flash on the platform that cuts images (38,658,048 bytes).
inline constexpr uint32_t kQca9x15FlashPieceLimit = 0x24DE000;

// Pieces larger than this are cut into "flash:" + "flashC:" steps; 0 (the default) never cuts.
void fb_set_flash_piece_limit(uint32_t limit);
uint32_t fb_flash_piece_limit();

// The first step, or null for an empty queue.
fb_action* fb_queue_head();

// Appends one step of `kind` whose command is formatted from `format`. A command of 64
// characters or more ends the process.
fb_action* append_action(uint32_t kind, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void queue_action_clear();
void fb_queue_erase(const char* partition);
// Without a piece limit the image must fit one download (at most 4,294,967,295 bytes); a
// larger one ends the process.
void fb_queue_flash(const char* partition, const void* data, uint64_t size);
void fb_queue_reboot();
void fb_queue_command(const char* command, const char* message);
void fb_queue_download(const char* name, const void* data, uint32_t size);
void fb_queue_notice(const char* text);
void fb_queue_require(const char* variable, int invert, uint32_t count, const char* const* values);
void fb_queue_display(const char* variable, const char* label);

// Formats into a 256-byte buffer and returns a fresh copy (free() it); ends the process when
// memory runs out.
char* mkmsg(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes "error: ", the text and a line end to standard error and ends the process with 1.
[[noreturn]] void die(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Seconds since the epoch with millisecond resolution.
double fb_now();

// Completion handlers.
int action_done_default(fb_action* action, int status, const char* response);
int action_done_reboot(fb_action* action, int status, const char* response);
int check_required_value(fb_action* action, int status, const char* response);
int show_variable(fb_action* action, int status, const char* response);
