#include "fastboot/action_queue.h"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

fb_action* gHead = nullptr;
fb_action* gTail = nullptr;
uint32_t gPieceLimit = 0;

}  // namespace

void die(const char* format, ...) {
  std::fputs("error: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::fflush(nullptr);
  // Other threads may still be working; skip destructors that could wait for them.
  std::_Exit(1);
}

char* mkmsg(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  char* copy = strdup(buffer);
  if (!copy) die("out of memory");
  return copy;
}

// Whole seconds of the wall clock plus its milliseconds. No round trip through the local time:
// mktime reloads the time zone on every call, which is neither needed nor cheap on the
// workers of several slots at once.
double fb_now() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + (tv.tv_usec / 1000) / 1000.0;
}

void fb_set_flash_piece_limit(uint32_t limit) {
  gPieceLimit = limit;
}
uint32_t fb_flash_piece_limit() {
  return gPieceLimit;
}

fb_action* fb_queue_head() {
  return gHead;
}

fb_action* append_action(uint32_t kind, const char* format, ...) {
  auto* action = new (std::nothrow) fb_action;
  if (!action) die("out of memory");
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(action->command, sizeof action->command, format, args);
  va_end(args);
  if (length >= kActionCommandSize) {
    die("Command length (%d) exceeds maximum size (%d)", length, kActionCommandSize);
  }
  if (gTail) {
    gTail->next = action;
  } else {
    gHead = action;
  }
  gTail = action;
  action->kind = kind;
  action->handler = action_done_default;
  action->start = -1.0;
  return action;
}

void queue_action_clear() {
  // The queue is the only owner of its steps, so emptying it releases them.
  for (fb_action* action = gHead; action;) {
    fb_action* next = action->next;
    std::free(action->message);
    delete action;
    action = next;
  }
  gHead = nullptr;
  gTail = nullptr;
}

void fb_queue_erase(const char* partition) {
  fb_action* a = append_action(OP_COMMAND, "erase:%s", partition);
  a->message = mkmsg("erasing '%s'", partition);
}

namespace {

void queueFlashPiece(const char* partition, const uint8_t* data, uint32_t size, bool first) {
  fb_action* download = append_action(OP_DOWNLOAD, "%s", "");
  download->data = data;
  download->size = size;
  download->message = mkmsg("sending '%s' (%d KB)", partition, static_cast<int>(size / 1024));
  fb_action* flash = append_action(OP_COMMAND, first ? "flash:%s" : "flashC:%s", partition);
  flash->message = mkmsg("writing '%s'", partition);
}

}  // namespace

void fb_queue_flash(const char* partition, const void* data, uint64_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (gPieceLimit == 0) {
    if (size > UINT32_MAX) {
      die("Image size (%llu) exceeds maximum size (%u)", static_cast<unsigned long long>(size),
          UINT32_MAX);
    }
    queueFlashPiece(partition, bytes, static_cast<uint32_t>(size), true);
    return;
  }
  // Cut into pieces the loader can hold; the later pieces append to the partition.
  for (uint64_t offset = 0; offset < size;) {
    uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size - offset, gPieceLimit));
    queueFlashPiece(partition, bytes + offset, piece, offset == 0);
    offset += piece;
  }
}

void fb_queue_reboot() {
  fb_action* a = append_action(OP_COMMAND, "reboot");
  a->handler = action_done_reboot;
  a->message = mkmsg("rebooting");
}

void fb_queue_command(const char* command, const char* message) {
  fb_action* a = append_action(OP_COMMAND, "%s", command);
  if (message) a->message = mkmsg("%s", message);
}

void fb_queue_download(const char* name, const void* data, uint32_t size) {
  fb_action* a = append_action(OP_DOWNLOAD, "%s", "");
  a->data = data;
  a->size = size;
  a->message = mkmsg("downloading '%s'", name);
}

void fb_queue_notice(const char* text) {
  fb_action* a = append_action(OP_NOTICE, "%s", "");
  a->texts.emplace_back(text);
  a->data = a->texts.back().c_str();
}

void fb_queue_require(const char* variable, int invert, uint32_t count, const char* const* values) {
  fb_action* a = append_action(OP_QUERY, "getvar:%s", variable);
  for (uint32_t i = 0; i < count; ++i) a->texts.emplace_back(values[i]);
  a->size = count;
  a->invert = invert;
  a->handler = check_required_value;
  a->message = mkmsg("checking %s", variable);
}

void fb_queue_display(const char* variable, const char* label) {
  fb_action* a = append_action(OP_QUERY, "getvar:%s", variable);
  a->texts.emplace_back(label);
  a->data = a->texts.back().c_str();
  a->handler = show_variable;
}
