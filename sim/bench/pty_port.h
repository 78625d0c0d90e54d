#pragma once
// One serial port of a virtual module: a pseudo terminal whose tty side the station opens by
// path and whose master side the bench reads and answers. The bench keeps the tty side open
// itself, so the master never sees a hang-up while the station has the port closed; closing
// the port makes the tty vanish for the station.

#include <string>

namespace sim {

class PtyPort {
 public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  // Opens a new pseudo terminal in raw mode; false with `error` set on failure.
  bool open(std::string& error);
  void close();
  bool isOpen() const { return master_ >= 0; }

  int masterFd() const { return master_; }
  const std::string& ttyPath() const { return ttyPath_; }

  // Reads what the station wrote (non-blocking); empty when nothing is waiting.
  std::string readAvailable();
  // Writes to the station; bytes that do not fit into the tty's queue are dropped.
  void write(const std::string& bytes);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string ttyPath_;
};

}  // namespace sim
