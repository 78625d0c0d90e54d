#include "records/image_hasher.h"

#include <sys/stat.h>

#include "records/sha256.h"

namespace records {

FirmwareImages::FirmwareImages(std::string platform, std::string folder,
                               std::vector<FirmwareFile> files)
    : platform_(std::move(platform)), folder_(std::move(folder)), files_(std::move(files)) {}

std::vector<ImageDigest> FirmwareImages::digests() const {
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return done_; });
  return digests_;
}

void FirmwareImages::finish(std::vector<ImageDigest> digests) {
  std::lock_guard lock(mutex_);
  digests_ = std::move(digests);
  done_ = true;
  finished_.notify_all();
}

ImageHasher::ImageHasher() : thread_([this] { run(); }) {}

ImageHasher::~ImageHasher() {
  close();
}

std::shared_ptr<FirmwareImages> ImageHasher::load(const std::string& platform,
                                                  const std::string& folder,
                                                  std::vector<FirmwareFile> files) {
  auto images = std::make_shared<FirmwareImages>(platform, folder, std::move(files));
  std::lock_guard lock(mutex_);
  if (closing_) {
    images->finish(unreadDigests(*images));  // a load after close is never waited for
  } else {
    queue_.push_back(images);
    wake_.notify_one();
  }
  return images;
}

void ImageHasher::close() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    wake_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
}

void ImageHasher::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::shared_ptr<FirmwareImages> images = queue_.front();
    queue_.pop_front();
    if (closing_) {
      // Shutting down: what is still queued is recorded without digests.
      images->finish(unreadDigests(*images));
      continue;
    }
    lock.unlock();
    images->finish(hash(*images));
    lock.lock();
  }
}

std::vector<ImageDigest> ImageHasher::unreadDigests(const FirmwareImages& images) {
  std::vector<ImageDigest> digests;
  for (const FirmwareFile& file : images.files_) digests.push_back({file.label, file.path, 0, ""});
  return digests;
}

std::vector<ImageDigest> ImageHasher::hash(const FirmwareImages& images) {
  std::vector<ImageDigest> digests;
  for (const FirmwareFile& file : images.files_) digests.push_back(digestOf(file));
  return digests;
}

ImageDigest ImageHasher::digestOf(const FirmwareFile& file) {
  ImageDigest digest{file.label, file.path, 0, ""};
  struct stat status {};
  if (::stat(file.path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return digest;
  const int64_t modified =
      int64_t{status.st_mtim.tv_sec} * 1000000000 + int64_t{status.st_mtim.tv_nsec};
  const uint64_t size = static_cast<uint64_t>(status.st_size);
  auto cached = cache_.find(file.path);
  if (cached != cache_.end() && cached->second.size == size &&
      cached->second.modified == modified) {
    digest.size = size;
    digest.sha256 = cached->second.sha256;
    return digest;
  }
  const std::optional<FileDigest> read = sha256OfFile(file.path);
  if (!read) return digest;
  digest.size = read->size;
  digest.sha256 = read->sha256;
  // A file that changed while it was read is not cached: its next load reads it again.
  if (read->size == size) cache_[file.path] = {size, modified, read->sha256};
  return digest;
}

}  // namespace records
