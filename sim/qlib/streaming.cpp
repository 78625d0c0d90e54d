#include "sim/qlib/streaming.h"

#include <cstdio>
#include <fstream>
#include <utility>

#include "sim/bench/sha256.h"
#include "sim/qlib/library_state.h"

namespace simqlib {
namespace {

constexpr size_t kPieceSize = 4096;
// The bench hears of the progress every this many pieces (and at each image's start and end).
constexpr unsigned kPiecesPerReport = 16;

class Stream {
 public:
  Stream(HANDLE handle, uint64_t total, std::string via)
      : handle_(handle), total_(total), via_(std::move(via)) {}

  // Whether each image is announced ("Downloading <file>"); a module may stay quiet.
  void setAnnounce(bool announce) { announce_ = announce; }

  bool fail(const std::string& text) {
    setLastError(handle_, text);
    emitTextLog(handle_, QLIB_TEXT_LOG_TYPE_TEXT, "ERROR: " + text);
    return false;
  }

  // Tells the bench how far the download is and what the partition being written holds so
  // far: the module writes the bytes as they arrive.
  bool report(const StreamImage& image, uint64_t written, sim::Sha256 hash) {
    if (askOn(handle_, "transfer", reply_,
              {{"stage", "cp"},
               {"done", done_},
               {"total", total_},
               {"partition", image.partition},
               {"written", written},
               {"sha256", hash.hexDigest()}})) {
      return true;
    }
    return fail("Target not responding, download stopped");
  }

  // Sends one image; the bench records it as `partition`.
  bool sendImage(const StreamImage& image) {
    std::ifstream file(image.path, std::ios::binary);
    if (!file) return fail("Cannot open file " + image.path);
    if (announce_) emitTextLog(handle_, QLIB_TEXT_LOG_TYPE_TEXT, "Downloading " + image.path);
    if (!askOn(handle_, "partition-begin", reply_, {{"name", image.partition}, {"via", via_}})) {
      return fail("Partition " + image.partition +
                  " refused: " + reply_.value("error", "no answer"));
    }
    emitTextLog(handle_, QLIB_TEXT_LOG_TYPE_TEXT,
                "Opening partition " + image.partition + " at address 0x00000000");
    sim::Sha256 hash;
    uint64_t size = 0;
    unsigned pieces = 0;
    char piece[kPieceSize];
    for (;;) {
      if (pieces % kPiecesPerReport == 0) {
        paceTransfer(pieces == 0 ? 0 : kPiecesPerReport * kPieceSize);
        if (!report(image, size, hash)) return false;
      }
      file.read(piece, sizeof piece);
      const size_t got = static_cast<size_t>(file.gcount());
      if (got == 0) break;
      hash.update(piece, got);
      size += got;
      done_ += got;
      ++pieces;
      emitTextLog(handle_, QLIB_TEXT_LOG_TYPE_TRANSFER, "SEND_ASYNC(" + std::to_string(got) + ")");
    }
    if (file.bad()) return fail("Cannot read file " + image.path);
    paceTransfer((pieces % kPiecesPerReport) * kPieceSize);
    if (!report(image, size, hash)) return false;
    const nlohmann::json record = {
        {"name", image.partition}, {"size", size}, {"sha256", hash.hexDigest()}, {"via", via_}};
    if (!askOn(handle_, "partition", reply_, record)) {
      return fail("Partition " + image.partition +
                  " not written: " + reply_.value("error", "no answer"));
    }
    emitTextLog(handle_, QLIB_TEXT_LOG_TYPE_TEXT, "Closing partition " + image.partition);
    return true;
  }

 private:
  HANDLE handle_;
  uint64_t total_;
  std::string via_;
  uint64_t done_ = 0;
  bool announce_ = true;
  nlohmann::json reply_;
};

uint64_t fileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return file ? static_cast<uint64_t>(file.tellg()) : 0;
}

}  // namespace

bool runStreamingDownload(HANDLE handle, const StreamRequest& request) {
  auto connection = findConnection(handle);
  if (!connection || connection->kind != ConnectionKind::kDiag) {
    setLastError(handle, "Invalid handle");
    return false;
  }
  uint64_t total = 0;
  for (const StreamImage& image : request.images) total += fileSize(image.path);
  Stream stream(handle, total, request.via);

  nlohmann::json reply, begin = {{"override", request.overridePartitionTable}};
  if (!request.programmerPath.empty()) {
    std::string sha;
    uint64_t size = 0;
    if (!sim::sha256OfFile(request.programmerPath, sha, size)) {
      return stream.fail("Cannot open flash programmer " + request.programmerPath);
    }
    emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT, "Switching Mobile to DOWNLOAD mode");
    emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT,
                "Loading Flash Programmer File " + request.programmerPath);
    paceTransfer(size);
    begin["programmer"] = request.programmerPath;
  }
  if (!request.partitionTablePath.empty()) {
    if (fileSize(request.partitionTablePath) == 0) {
      return stream.fail("Cannot open partition table " + request.partitionTablePath);
    }
    begin["table"] = request.partitionTablePath;
  }
  if (!askOn(handle, "stream-begin", reply, begin)) {
    return stream.fail("Download mode not reached: " + reply.value("error", "no answer"));
  }
  stream.setAnnounce(reply.value("announce", true));
  emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT, "Streaming download session start");
  emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT, "Sending HELLO to flash programmer");
  if (!request.partitionTablePath.empty()) {
    emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT, "Partition table accepted");
  }
  for (const StreamImage& image : request.images) {
    if (!stream.sendImage(image)) return false;
  }
  if (request.bootAfterDownload) {
    if (!askOn(handle, "stream-end", reply)) {
      return stream.fail("Reset failed: " + reply.value("error", "no answer"));
    }
    emitTextLog(handle, QLIB_TEXT_LOG_TYPE_TEXT, "Reset sent to target");
  }
  return true;
}

}  // namespace simqlib
