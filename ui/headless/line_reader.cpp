#include "ui/headless/line_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

LineReader::LineReader(int fd, LineHandler onLine, EndHandler onEnd)
    : fd_(fd), onLine_(std::move(onLine)), onEnd_(std::move(onEnd)) {
  if (pipe2(wakePipe_, O_CLOEXEC) != 0) wakePipe_[0] = wakePipe_[1] = -1;
  thread_ = std::thread([this] { readLoop(); });
}

LineReader::~LineReader() {
  stop();
  if (wakePipe_[0] >= 0) close(wakePipe_[0]);
  if (wakePipe_[1] >= 0) close(wakePipe_[1]);
}

void LineReader::stop() {
  if (!thread_.joinable()) return;
  if (wakePipe_[1] >= 0) {
    char byte = 0;
    while (write(wakePipe_[1], &byte, 1) < 0 && errno == EINTR) {
    }
  }
  thread_.join();
}

void LineReader::readLoop() {
  std::string pending;
  bool overlong = false;
  char buffer[4096];
  while (true) {
    pollfd entries[2] = {{fd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int ready = poll(entries, wakePipe_[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (entries[1].revents) return;  // stopped: the owner no longer wants lines
    ssize_t count = read(fd_, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) break;
    for (ssize_t i = 0; i < count; ++i) {
      if (buffer[i] != '\n') {
        if (pending.size() < kMaxLineLength) {
          pending += buffer[i];
        } else {
          overlong = true;
        }
        continue;
      }
      onLine_(overlong ? std::string(kOverlongLine) : pending);
      pending.clear();
      overlong = false;
    }
  }
  if (!pending.empty()) onLine_(overlong ? std::string(kOverlongLine) : pending);
  onEnd_();
}
