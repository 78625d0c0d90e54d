#include "fastboot/usb_tcp.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "fastboot/tcp_framing.h"
#include "fastboot/transport.h"
#include "host/clock.h"

namespace fastboot {
namespace {

// Longest stretch a socket wait goes without looking at the station's stop request.
constexpr int kStopCheckSliceMs = 50;
// Limit for connecting and for the handshake (scaled like every station time limit).
constexpr int64_t kConnectLimitMs = 10000;
constexpr int64_t kConnectLimitFloorMs = 200;

enum class Wait { kReady, kTimeout, kStopped, kError };

// Waits until `fd` is ready for `events` or the deadline (a tickMs value) passes.
Wait waitFor(int fd, short events, uint64_t deadline) {
  for (;;) {
    if (host::stopRequested()) return Wait::kStopped;
    uint64_t now = host::tickMs();
    if (now >= deadline) return Wait::kTimeout;
    int slice = static_cast<int>(std::min<uint64_t>(deadline - now, kStopCheckSliceMs));
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, slice);
    if (n > 0) return Wait::kReady;
    if (n < 0 && errno != EINTR) return Wait::kError;
  }
}

int errorFor(Wait wait) {
  switch (wait) {
    case Wait::kTimeout:
      return kUsbErrorTimeout;
    case Wait::kStopped:
      return ECANCELED;
    default:
      return kUsbErrorInvalidHandle;
  }
}

class TcpLink : public UsbLink {
 public:
  TcpLink(int fd, std::string serial) : fd_(fd), serial_(std::move(serial)) {}
  ~TcpLink() override { ::close(fd_); }

  bool readDescriptors(UsbDescriptors& d) override {
    d = moduleFastbootDescriptors();
    return true;
  }

  bool readSerialNumber(std::string& serial) override {
    serial = serial_;
    return true;
  }

  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override;
  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override;

 private:
  bool readHeader(uint64_t deadline, int& error);
  bool discardTail(uint64_t deadline, int& error);
  bool receiveInto(uint8_t* buffer, size_t length, size_t& have, uint64_t deadline, int& error);

  int fd_;
  std::string serial_;
  // Once a message was cut short the stream has lost its framing; the link stays dead.
  bool broken_ = false;
  // Receive state, kept across time-outs so that no byte of a reply is lost or misplaced.
  uint8_t header_[tcp::kHeaderSize] = {};
  size_t headerHave_ = 0;
  bool inMessage_ = false;
  uint64_t bodyLeft_ = 0;       // bytes of the current message not yet taken from the socket
  std::vector<uint8_t> ready_;  // the part of the current message this read returns
  uint64_t discardLeft_ = 0;    // tail of an over-long message, still to be dropped
};

long TcpLink::bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) {
  if (broken_) {
    error = kUsbErrorInvalidHandle;
    return -1;
  }
  uint8_t header[tcp::kHeaderSize];
  tcp::encodeLength(length, header);
  iovec parts[2] = {{header, sizeof header}, {const_cast<uint8_t*>(data), length}};
  const size_t total = sizeof header + length;
  const uint64_t start = host::tickMs();
  uint64_t deadline = start + timeoutMs;
  size_t sent = 0;
  while (sent < total) {
    // A message once begun cannot be taken back: it gets the full time of its length (a
    // caller's short slice only bounds the wait before the first byte). A stop still ends it.
    if (sent > 0) deadline = std::max(deadline, start + usb_timeout_ms(static_cast<long>(length)));
    // Skip what is already out of the two parts.
    iovec rest[2];
    int count = 0;
    size_t skip = sent;
    for (const iovec& part : parts) {
      if (skip >= part.iov_len) {
        skip -= part.iov_len;
        continue;
      }
      rest[count++] = {static_cast<uint8_t*>(part.iov_base) + skip, part.iov_len - skip};
      skip = 0;
    }
    msghdr msg{};
    msg.msg_iov = rest;
    msg.msg_iovlen = count;
    ssize_t n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      broken_ = true;
      error = kUsbErrorInvalidHandle;
      return -1;
    }
    Wait wait = waitFor(fd_, POLLOUT, deadline);
    if (wait == Wait::kReady) continue;
    // A message cut in the middle cannot be resumed by the peer.
    if (sent > 0) broken_ = true;
    error = sent > 0 ? kUsbErrorInvalidHandle : errorFor(wait);
    return -1;
  }
  return static_cast<long>(length);
}

bool TcpLink::receiveInto(uint8_t* buffer, size_t length, size_t& have, uint64_t deadline,
                          int& error) {
  while (have < length) {
    ssize_t n = ::recv(fd_, buffer + have, length - have, 0);
    if (n > 0) {
      have += static_cast<size_t>(n);
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      broken_ = true;
      error = kUsbErrorInvalidHandle;
      return false;
    }
    Wait wait = waitFor(fd_, POLLIN, deadline);
    if (wait != Wait::kReady) {
      error = errorFor(wait);
      return false;
    }
  }
  return true;
}

bool TcpLink::readHeader(uint64_t deadline, int& error) {
  if (!receiveInto(header_, sizeof header_, headerHave_, deadline, error)) return false;
  headerHave_ = 0;
  inMessage_ = true;
  bodyLeft_ = tcp::decodeLength(header_);
  return true;
}

// Drops what is left of a message whose head was already returned.
bool TcpLink::discardTail(uint64_t deadline, int& error) {
  uint8_t scratch[4096];
  while (discardLeft_ > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(discardLeft_, sizeof scratch));
    size_t have = 0;
    bool complete = receiveInto(scratch, chunk, have, deadline, error);
    discardLeft_ -= have;
    if (!complete) return false;
  }
  return true;
}

long TcpLink::bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) {
  if (broken_) {
    error = kUsbErrorInvalidHandle;
    return -1;
  }
  const uint64_t deadline = host::tickMs() + timeoutMs;
  if (!discardTail(deadline, error)) return -1;
  if (!inMessage_ && !readHeader(deadline, error)) return -1;

  // One message is one transfer, as on USB: a read returns its first `length` bytes at most,
  // and the rest of it is dropped rather than handed to the next read as a reply of its own.
  size_t want = static_cast<size_t>(std::min<uint64_t>(length, ready_.size() + bodyLeft_));
  if (ready_.size() < want) {
    size_t have = ready_.size();
    ready_.resize(want);
    size_t got = have;
    bool complete = receiveInto(ready_.data(), want, got, deadline, error);
    bodyLeft_ -= got - have;
    ready_.resize(got);
    if (!complete) return -1;
  }
  std::copy_n(ready_.begin(), want, buffer);
  ready_.clear();
  inMessage_ = false;
  discardLeft_ = bodyLeft_;
  bodyLeft_ = 0;
  // Drop whatever of the tail is already here; the rest goes before the next read. The reply
  // itself is whole either way.
  int ignored = 0;
  discardTail(host::tickMs(), ignored);
  return static_cast<long>(want);
}

// Connects without blocking past the deadline; -1 with `error` set on failure.
int connectTo(const std::string& host, const std::string& port, uint64_t deadline, int& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    error = EHOSTUNREACH;
    return -1;
  }
  error = ECONNREFUSED;
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      int result = errno;
      if (result == EINPROGRESS) {
        Wait wait = waitFor(fd, POLLOUT, deadline);
        socklen_t len = sizeof result;
        if (wait != Wait::kReady) {
          result = wait == Wait::kStopped ? ECANCELED : ETIMEDOUT;
        } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &len) != 0) {
          result = errno;
        }
      }
      if (result != 0) {
        error = result;
        ::close(fd);
        fd = -1;
      }
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

// Sends "FB01" and checks the device's answer.
bool handshake(int fd, uint64_t deadline, int& error) {
  size_t sent = 0;
  while (sent < tcp::kHandshakeSize) {
    ssize_t n = ::send(fd, tcp::kClientHello + sent, tcp::kHandshakeSize - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      error = kUsbErrorInvalidHandle;
      return false;
    } else if (Wait w = waitFor(fd, POLLOUT, deadline); w != Wait::kReady) {
      error = errorFor(w);
      return false;
    }
  }
  uint8_t reply[tcp::kHandshakeSize];
  size_t have = 0;
  while (have < sizeof reply) {
    ssize_t n = ::recv(fd, reply + have, sizeof reply - have, 0);
    if (n > 0) {
      have += static_cast<size_t>(n);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      error = kUsbErrorInvalidHandle;
      return false;
    } else if (Wait w = waitFor(fd, POLLIN, deadline); w != Wait::kReady) {
      error = errorFor(w);
      return false;
    }
  }
  if (!tcp::isValidDeviceHello(reply)) {
    error = EPROTO;
    return false;
  }
  return true;
}

std::unique_ptr<UsbLink> openTcp(const std::string& path, int& error) {
  std::string host, port;
  if (!parseTcpPath(path, host, port)) {
    error = EINVAL;
    return nullptr;
  }
  int64_t limit = std::max(host::scaledMs(kConnectLimitMs), kConnectLimitFloorMs);
  uint64_t deadline = host::tickMs() + static_cast<uint64_t>(limit);
  int fd = connectTo(host, port, deadline, error);
  if (fd < 0) return nullptr;
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (!handshake(fd, deadline, error)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TcpLink>(fd, host + ":" + port);
}

}  // namespace

bool parseTcpPath(const std::string& path, std::string& host, std::string& port) {
  const size_t prefixLength = sizeof kTcpPathPrefix - 1;
  if (path.size() <= prefixLength) return false;
  if (strncasecmp(path.c_str(), kTcpPathPrefix, prefixLength) != 0) return false;
  std::string rest = path.substr(prefixLength);
  size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = rest.substr(0, colon);
  port = rest.substr(colon + 1);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (port.empty() || port.size() > 5) return false;
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  int number = std::stoi(port);
  return number >= 1 && number <= 65535 && !host.empty();
}

Backend makeTcpBackend() {
  Backend backend;
  backend.prefix = kTcpPathPrefix;
  // Network devices are not discovered; they are named by path.
  backend.enumerate = [] { return std::vector<std::string>{}; };
  backend.open = openTcp;
  return backend;
}

}  // namespace fastboot
