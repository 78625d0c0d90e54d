#include "sim/fastboot_device/tcp_device.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "fastboot/tcp_framing.h"

namespace sim {
namespace {

// Largest message the device takes; anything longer is a broken host.
constexpr uint64_t kMaxMessage = 16u << 20;

bool sendAll(int fd, const iovec* parts, int count) {
  std::vector<iovec> rest(parts, parts + count);
  size_t index = 0;
  while (index < rest.size()) {
    msghdr msg{};
    msg.msg_iov = rest.data() + index;
    msg.msg_iovlen = rest.size() - index;
    ssize_t n = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    size_t sent = static_cast<size_t>(n);
    while (index < rest.size() && sent >= rest[index].iov_len) sent -= rest[index++].iov_len;
    if (index < rest.size()) {
      rest[index].iov_base = static_cast<uint8_t*>(rest[index].iov_base) + sent;
      rest[index].iov_len -= sent;
    }
  }
  return true;
}

bool sendPacket(int fd, const std::string& packet) {
  uint8_t header[fastboot::tcp::kHeaderSize];
  fastboot::tcp::encodeLength(packet.size(), header);
  iovec parts[2] = {{header, sizeof header}, {const_cast<char*>(packet.data()), packet.size()}};
  return sendAll(fd, parts, 2);
}

}  // namespace

// Reads a connection through a buffer, so that small headers do not each cost a system call.
class MessageReader {
 public:
  explicit MessageReader(int fd) : fd_(fd) {}

  // Reads exactly `length` bytes; false when the peer closed or the device is stopping.
  template <typename WaitFn>
  bool readExact(uint8_t* out, size_t length, WaitFn&& wait) {
    while (length > 0) {
      if (begin_ == end_) {
        if (!wait()) return false;
        ssize_t n = ::recv(fd_, buffer_, sizeof buffer_, 0);
        if (n <= 0) {
          if (n < 0 && errno == EINTR) continue;
          return false;
        }
        begin_ = 0;
        end_ = static_cast<size_t>(n);
      }
      size_t take = std::min(length, end_ - begin_);
      std::memcpy(out, buffer_ + begin_, take);
      begin_ += take;
      out += take;
      length -= take;
    }
    return true;
  }

 private:
  int fd_;
  uint8_t buffer_[64 * 1024];
  size_t begin_ = 0;
  size_t end_ = 0;
};

TcpFastbootDevice::TcpFastbootDevice(std::string hello)
    : model_(std::make_shared<FastbootDeviceModel>()), hello_(std::move(hello)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 4) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wakePipe_, O_CLOEXEC) != 0) {
    throw std::runtime_error("test fastboot device: cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

TcpFastbootDevice::~TcpFastbootDevice() {
  char byte = 1;
  (void)!::write(wakePipe_[1], &byte, 1);
  thread_.join();
  ::close(listenFd_);
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
}

std::string TcpFastbootDevice::path() const {
  return "tcp:127.0.0.1:" + std::to_string(port_);
}

// Waits until `fd` has data; false when the device is being destroyed.
bool TcpFastbootDevice::waitReadable(int fd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
  for (;;) {
    int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN)) return false;
    if (fds[0].revents) return true;
  }
}

void TcpFastbootDevice::serve() {
  while (waitReadable(listenFd_)) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    serveConnection(fd);
    model_->onDisconnect();
    ::close(fd);
  }
}

void TcpFastbootDevice::serveConnection(int fd) {
  MessageReader reader(fd);
  auto wait = [&] { return waitReadable(fd); };
  uint8_t hello[fastboot::tcp::kHandshakeSize];
  if (!reader.readExact(hello, sizeof hello, wait)) return;
  if (std::memcmp(hello, fastboot::tcp::kClientHello, sizeof hello) != 0) return;
  if (::send(fd, hello_.data(), hello_.size(), MSG_NOSIGNAL) < 0) return;

  std::vector<uint8_t> body;
  for (;;) {
    uint8_t header[fastboot::tcp::kHeaderSize];
    if (!reader.readExact(header, sizeof header, wait)) return;
    uint64_t length = fastboot::tcp::decodeLength(header);
    if (length > kMaxMessage) return;
    body.resize(length);
    if (!reader.readExact(body.data(), body.size(), wait)) return;
    FastbootDeviceModel::Output out = model_->onMessage(body.data(), body.size());
    for (const std::string& packet : out.packets) {
      if (!sendPacket(fd, packet)) return;
    }
    if (out.disconnect) return;
  }
}

}  // namespace sim
