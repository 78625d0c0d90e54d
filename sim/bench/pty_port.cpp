#include "sim/bench/pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

PtyPort::~PtyPort() {
  close();
}

bool PtyPort::open(std::string& error) {
  close();
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    error = std::string("openpty: ") + std::strerror(errno);
    master_ = slave_ = -1;
    return false;
  }
  // Raw on both sides: no echo of the bench's own replies, no line editing, no CR/LF changes.
  termios settings{};
  if (::tcgetattr(slave_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(slave_, TCSANOW, &settings);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  ttyPath_ = name;
  return true;
}

void PtyPort::close() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  ttyPath_.clear();
}

std::string PtyPort::readAvailable() {
  std::string out;
  if (master_ < 0) return out;
  char buffer[1024];
  for (;;) {
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return out;
}

void PtyPort::write(const std::string& bytes) {
  size_t sent = 0;
  while (master_ >= 0 && sent < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // queue full: a station that never reads loses the rest
    }
  }
}

}  // namespace sim
