#pragma once
// Image buffers of the application images. Each image kind has one resident buffer: loading
// an image of a kind releases that kind's previous buffer first, so at most one buffer per kind
// is alive, and the queued download steps point into these buffers until the next load.

#include <cstdint>

enum class ImageKind {
  kSbl,
  kTz,
  kRpm,
  kDevCfg,
  kAboot,
  kBoot,
  kSystem,
  kUser,
  kRecovery,
  kRecoveryFs,
  kEfs2,
  kUser2,
  kPersist,
  kCount,
};

// Reads the whole file at `path` into the slot of `kind`. Returns the buffer and stores its
// size, or returns null with size 0 (file missing, empty, too large for memory, or unreadable;
// the last two print a line to standard error). The slot is empty after a failure.
uint8_t* load_image(ImageKind kind, const char* path, long* size);

// The loaders of the flash sequences, one per slot.
uint8_t* load_sblfile(const char* path, long* size);
uint8_t* load_tzfile(const char* path, long* size);
uint8_t* load_rpmfile(const char* path, long* size);
uint8_t* load_devcfgfile(const char* path, long* size);
uint8_t* load_abootfile(const char* path, long* size);
uint8_t* load_bootfile(const char* path, long* size);
uint8_t* load_systermfile(const char* path, long* size);
uint8_t* load_userfile(const char* path, long* size);
uint8_t* load_recoveryfile(const char* path, long* size);
uint8_t* load_recoveryfsfile(const char* path, long* size);
uint8_t* load_efs2file(const char* path, long* size);
uint8_t* load_user2file(const char* path, long* size);
uint8_t* load_persistfile(const char* path, long* size);

// Releases every slot (at shutdown, and between tests).
void release_images();
// How many slots hold a buffer now.
int live_image_buffers();
