#include "fastboot/flash_sequences.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "fastboot/image_loader.h"
#include "host/report.h"

namespace {

// One image a sequence looks for before it loads anything.
struct Required {
  const std::string& path;
  std::string missingText;
  bool optional = false;
};

bool fileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// Shows the text of the first missing image; an optional image with an empty path is skipped.
bool allPresent(const std::vector<Required>& images) {
  for (const Required& image : images) {
    if (image.optional && image.path.empty()) continue;
    if (fileExists(image.path)) continue;
    MessagePopup("Error", image.missingText);
    return false;
  }
  return true;
}

// Loads one image into its slot and queues its flash. On failure the queue is emptied so
// that no DUT is given part of a firmware.
bool loadAndQueue(ImageKind kind, const std::string& path, const char* partition) {
  long size = 0;
  uint8_t* data = load_image(kind, path.c_str(), &size);
  // Without cutting, one download announces the whole image in eight hex digits.
  bool announceable = fb_flash_piece_limit() != 0 || static_cast<uint64_t>(size) <= UINT32_MAX;
  if (!data || !announceable) {
    if (data) std::fprintf(stderr, "'%s' is too large for one download\n", path.c_str());
    char text[512];
    std::snprintf(text, sizeof text, "cannot load '%s'", path.c_str());
    MessagePopup("Error", text);
    queue_action_clear();
    return false;
  }
  fb_queue_flash(partition, data, static_cast<uint64_t>(size));
  return true;
}

// A firmware cannot be loaded while a DUT's AP download runs the current queue.
class RebuildGuard {
 public:
  RebuildGuard() : lock_(fastboot::queueUseLock(), std::try_to_lock) {
    if (!lock_.owns_lock()) {
      MessagePopup("Error", "An AP download is running; load the firmware after it has finished.");
    }
  }
  bool allowed() const { return lock_.owns_lock(); }

 private:
  std::unique_lock<std::shared_mutex> lock_;
};

// Rebuilds the queue: refused while an AP download uses it; otherwise empties it, sets the
// piece limit, lets `fill` check and queue the images, and ends the queue with the reboot.
int rebuildQueue(uint32_t pieceLimit, const std::function<bool()>& fill) {
  RebuildGuard guard;
  if (!guard.allowed()) return -1;
  queue_action_clear();
  fb_set_flash_piece_limit(pieceLimit);
  if (!fill()) return -1;
  fb_queue_reboot();
  return 0;
}

// One image of a sequence whose images are all required: what it is, where it is, and the
// partition it is written to.
struct SequenceImage {
  ImageKind kind;
  const std::string& path;
  const char* partition;
};

// A fixed sequence: every image must exist (the first missing one is named), then each is
// loaded and queued in order.
int flashFixedSequence(uint32_t pieceLimit, std::initializer_list<SequenceImage> images) {
  return rebuildQueue(pieceLimit, [&] {
    std::vector<Required> required;
    for (const SequenceImage& image : images) {
      required.push_back({image.path, std::string("can't find ") + image.partition + " file."});
    }
    if (!allPresent(required)) return false;
    for (const SequenceImage& image : images) {
      if (!loadAndQueue(image.kind, image.path, image.partition)) return false;
    }
    return true;
  });
}

}  // namespace

int flash_loaddata1(const std::string& boot, const std::string& system, const std::string& userdata,
                    const std::string& recovery, const std::string& recoveryfs) {
  return flashFixedSequence(0, {{ImageKind::kBoot, boot, "boot"},
                                {ImageKind::kSystem, system, "system"},
                                {ImageKind::kUser, userdata, "userdata"},
                                {ImageKind::kRecovery, recovery, "recovery"},
                                {ImageKind::kRecoveryFs, recoveryfs, "recoveryfs"}});
}

int flash_loaddata2(const std::string& boot, const std::string& system, const std::string& userdata,
                    const std::string& recovery, const std::string& recoveryfs,
                    const std::string& aboot) {
  // This platform's loader holds at most one piece of an image at a time.
  return flashFixedSequence(kQca9x15FlashPieceLimit,
                            {{ImageKind::kAboot, aboot, "aboot"},
                             {ImageKind::kBoot, boot, "boot"},
                             {ImageKind::kSystem, system, "system"},
                             {ImageKind::kUser, userdata, "userdata"},
                             {ImageKind::kRecovery, recovery, "recovery"},
                             {ImageKind::kRecoveryFs, recoveryfs, "recoveryfs"}});
}

namespace {

// What the four Qca9x07 sequences add after the common images.
enum class Qca9x07Extra { kNone, kUserdata, kPersist, kCustomer };

bool qca9x07Present(const Qca9x07Images& im, Qca9x07Extra extra) {
  std::vector<Required> images = {
      {im.sbl, "can't find sbl file."},
      {im.tz, "can't find tz file."},
      {im.rpm, "can't find rpm file."},
      {im.aboot, "can't find aboot file."},
      {im.boot, "can't find boot file."},
      {im.system, "can't find system file."},
      {im.modem, "can't find modem file.", true},
      {im.recovery, "can't find recovery file.", true},
      {im.recoveryfs, "can't find recoveryfs file.", true},
      {im.efs2, "can't find efs2 file.", true},
  };
  if (extra != Qca9x07Extra::kNone) images.push_back({im.userdata, "can't find userdata file."});
  if (extra == Qca9x07Extra::kPersist || extra == Qca9x07Extra::kCustomer) {
    images.push_back({im.persist, "can't find persist file."});
  }
  return allPresent(images);
}

// The boot chain images, written only in AP-only mode.
bool queueQca9x07BootChain(const Qca9x07Images& im) {
  if (!loadAndQueue(ImageKind::kSbl, im.sbl, "sbl") || !loadAndQueue(ImageKind::kTz, im.tz, "tz") ||
      !loadAndQueue(ImageKind::kRpm, im.rpm, "rpm")) {
    return false;
  }
  if (im.devcfg.empty()) return true;
  if (!fileExists(im.devcfg)) {
    MessagePopup("Error", "can't find devcfg.mbn file.");
    queue_action_clear();
    return false;
  }
  return loadAndQueue(ImageKind::kDevCfg, im.devcfg, "devcfg");
}

bool queueQca9x07Images(const Qca9x07Images& im, const Qca9x07Options& options,
                        Qca9x07Extra extra) {
  if (options.onlyAp && !queueQca9x07BootChain(im)) return false;
  // With the QCN kept, the station's own boot loader stays on the module.
  if (!options.backupRestoreQcn && !loadAndQueue(ImageKind::kAboot, im.aboot, "aboot")) {
    return false;
  }
  if (!loadAndQueue(ImageKind::kBoot, im.boot, "boot") ||
      !loadAndQueue(ImageKind::kSystem, im.system, "system")) {
    return false;
  }
  struct Optional {
    ImageKind kind;
    const std::string& path;
    const char* partition;
  };
  for (const Optional& o : {Optional{ImageKind::kUser, im.modem, "modem"},
                            Optional{ImageKind::kRecovery, im.recovery, "recovery"},
                            Optional{ImageKind::kRecoveryFs, im.recoveryfs, "recoveryfs"}}) {
    if (!o.path.empty() && !loadAndQueue(o.kind, o.path, o.partition)) return false;
  }
  if (!im.efs2.empty() && options.backupRestoreQcn) {
    fb_queue_erase("efs2");
    if (!loadAndQueue(ImageKind::kEfs2, im.efs2, "efs2")) return false;
  }
  if (extra != Qca9x07Extra::kNone && !loadAndQueue(ImageKind::kUser2, im.userdata, "userdata")) {
    return false;
  }
  if (extra == Qca9x07Extra::kPersist &&
      !loadAndQueue(ImageKind::kPersist, im.persist, "persist")) {
    return false;
  }
  if (extra == Qca9x07Extra::kCustomer &&
      !loadAndQueue(ImageKind::kPersist, im.persist, "customer")) {
    return false;
  }
  return true;
}

int flashQca9x07(const Qca9x07Images& images, const Qca9x07Options& options, Qca9x07Extra extra) {
  return rebuildQueue(0, [&] {
    return qca9x07Present(images, extra) && queueQca9x07Images(images, options, extra);
  });
}

}  // namespace

int flash_loaddata4(const Qca9x07Images& images, const Qca9x07Options& options) {
  return flashQca9x07(images, options, Qca9x07Extra::kNone);
}

int flash_loaddata7(const Qca9x07Images& images, const Qca9x07Options& options) {
  return flashQca9x07(images, options, Qca9x07Extra::kUserdata);
}

int flash_loaddata5(const Qca9x07Images& images, const Qca9x07Options& options) {
  return flashQca9x07(images, options, Qca9x07Extra::kPersist);
}

int flash_loaddata6(const Qca9x07Images& images, const Qca9x07Options& options) {
  return flashQca9x07(images, options, Qca9x07Extra::kCustomer);
}
