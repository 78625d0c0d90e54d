#include "fastboot/image_loader.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Slot {
  uint8_t* data = nullptr;
  long size = 0;
};

Slot gSlots[static_cast<int>(ImageKind::kCount)];

void releaseSlot(Slot& slot) {
  std::free(slot.data);
  slot = Slot{};
}

}  // namespace

uint8_t* load_image(ImageKind kind, const char* path, long* size) {
  Slot& slot = gSlots[static_cast<int>(kind)];
  releaseSlot(slot);
  *size = 0;

  std::FILE* file = std::fopen(path, "rb");
  if (!file) return nullptr;
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || info.st_size <= 0) {
    std::fclose(file);
    return nullptr;
  }
  long length = static_cast<long>(info.st_size);
  auto* data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (!data) {
    std::fprintf(stderr, "load_file: could not allocate %ld bytes\n", length);
    std::fclose(file);
    return nullptr;
  }
  // fread keeps reading until the whole size is in or the file ends early.
  size_t got = std::fread(data, 1, static_cast<size_t>(length), file);
  std::fclose(file);
  if (got != static_cast<size_t>(length)) {
    std::fprintf(stderr, "load_file: could not read %ld bytes from '%s'\n", length, path);
    std::free(data);
    return nullptr;
  }
  slot.data = data;
  slot.size = length;
  *size = length;
  return data;
}

uint8_t* load_sblfile(const char* p, long* s) {
  return load_image(ImageKind::kSbl, p, s);
}
uint8_t* load_tzfile(const char* p, long* s) {
  return load_image(ImageKind::kTz, p, s);
}
uint8_t* load_rpmfile(const char* p, long* s) {
  return load_image(ImageKind::kRpm, p, s);
}
uint8_t* load_devcfgfile(const char* p, long* s) {
  return load_image(ImageKind::kDevCfg, p, s);
}
uint8_t* load_abootfile(const char* p, long* s) {
  return load_image(ImageKind::kAboot, p, s);
}
uint8_t* load_bootfile(const char* p, long* s) {
  return load_image(ImageKind::kBoot, p, s);
}
uint8_t* load_systermfile(const char* p, long* s) {
  return load_image(ImageKind::kSystem, p, s);
}
uint8_t* load_userfile(const char* p, long* s) {
  return load_image(ImageKind::kUser, p, s);
}
uint8_t* load_recoveryfile(const char* p, long* s) {
  return load_image(ImageKind::kRecovery, p, s);
}
uint8_t* load_recoveryfsfile(const char* p, long* s) {
  return load_image(ImageKind::kRecoveryFs, p, s);
}
uint8_t* load_efs2file(const char* p, long* s) {
  return load_image(ImageKind::kEfs2, p, s);
}
uint8_t* load_user2file(const char* p, long* s) {
  return load_image(ImageKind::kUser2, p, s);
}
uint8_t* load_persistfile(const char* p, long* s) {
  return load_image(ImageKind::kPersist, p, s);
}

void release_images() {
  for (Slot& slot : gSlots) releaseSlot(slot);
}

int live_image_buffers() {
  int count = 0;
  for (const Slot& slot : gSlots) count += slot.data ? 1 : 0;
  return count;
}
