#pragma once
// Reads lines from a file descriptor on its own thread and hands each to a callback; the end
// of the input (or a read error) is reported once. stop() ends the thread at once, even while
// it waits for input.

#include <functional>
#include <string>
#include <thread>

class LineReader {
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  using EndHandler = std::function<void()>;

  // A line longer than this is dropped and reported as a line of its own: kOverlongLine.
  static constexpr size_t kMaxLineLength = 64 * 1024;
  static constexpr char kOverlongLine[] = "<line too long>";

  LineReader(int fd, LineHandler onLine, EndHandler onEnd);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  ~LineReader();

  void stop();

 private:
  void readLoop();

  int fd_;
  LineHandler onLine_;
  EndHandler onEnd_;
  int wakePipe_[2] = {-1, -1};
  std::thread thread_;
};
