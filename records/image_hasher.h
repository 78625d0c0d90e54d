#pragma once
// The SHA-256 of every image of a firmware load, worked out on a thread of its own so that
// neither the UI thread nor a worker waits for it. A file already hashed is not read again
// while its path, size and modification time stay the same.

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "records/run_record.h"

namespace records {

struct FirmwareFile {
  std::string label;
  std::string path;
};

// One firmware load: its platform, its folder and its images, digests to follow.
class FirmwareImages {
 public:
  FirmwareImages(std::string platform, std::string folder, std::vector<FirmwareFile> files);

  const std::string& platform() const { return platform_; }
  const std::string& folder() const { return folder_; }
  // Waits until the hasher is done with this load (or has closed) and returns the digests;
  // an image that could not be read has an empty digest.
  std::vector<ImageDigest> digests() const;

 private:
  friend class ImageHasher;
  void finish(std::vector<ImageDigest> digests);

  const std::string platform_;
  const std::string folder_;
  const std::vector<FirmwareFile> files_;
  mutable std::mutex mutex_;
  mutable std::condition_variable finished_;
  bool done_ = false;
  std::vector<ImageDigest> digests_;
};

class ImageHasher {
 public:
  ImageHasher();
  ~ImageHasher();
  ImageHasher(const ImageHasher&) = delete;
  ImageHasher& operator=(const ImageHasher&) = delete;

  // Queues a load for hashing and returns it at once.
  std::shared_ptr<FirmwareImages> load(const std::string& platform, const std::string& folder,
                                       std::vector<FirmwareFile> files);
  // Finishes the load being hashed, gives every queued one its digests unread, and ends the
  // thread.
  void close();

 private:
  struct CachedDigest {
    uint64_t size = 0;
    int64_t modified = 0;
    std::string sha256;
  };

  void run();
  std::vector<ImageDigest> hash(const FirmwareImages& images);
  static std::vector<ImageDigest> unreadDigests(const FirmwareImages& images);
  ImageDigest digestOf(const FirmwareFile& file);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<FirmwareImages>> queue_;
  bool closing_ = false;
  std::map<std::string, CachedDigest> cache_;  // the hashing thread's own
  std::thread thread_;
};

}  // namespace records
