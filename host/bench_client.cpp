#include "host/bench_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

// A reply line longer than this is not a reply.
constexpr size_t kMaxLine = 64u << 20;

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int connectTo(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "the bench socket path is empty or too long";
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot reach the bench at " + path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

bool sendAll(int fd, const std::string& text, int64_t deadline, std::string& error) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      error = std::string("bench connection failed: ") + std::strerror(errno);
      return false;
    }
    const int64_t left = deadline - nowMs();
    pollfd p{fd, POLLOUT, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) == 0) {
      error = "the bench does not take the request";
      return false;
    }
  }
  return true;
}

// Reads until `buffer` holds a whole line or the deadline passes (deadline < 0: wait for
// `wakeFd` only). Returns 1 with the line, 0 on time-out, -1 when the connection ended.
int readLine(int fd, int wakeFd, std::string& buffer, std::string& line, int64_t deadline) {
  for (;;) {
    const size_t end = buffer.find('\n');
    if (end != std::string::npos) {
      line = buffer.substr(0, end);
      buffer.erase(0, end + 1);
      return 1;
    }
    if (buffer.size() > kMaxLine) return -1;
    char chunk[65536];
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return -1;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    const int64_t left = deadline - nowMs();
    if (left <= 0) return 0;
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(left));
    if (ready > 0 && wakeFd >= 0 && (fds[1].revents & POLLIN)) return -1;
  }
}

}  // namespace

std::string benchSocketPath() {
  const char* path = std::getenv("ZENDRAL_BENCH");
  return path ? path : "";
}

bool benchReplyOk(const nlohmann::json& reply) {
  return reply.is_object() && reply.contains("ok") && reply["ok"].is_boolean() &&
         reply["ok"].get<bool>();
}

bool benchRequest(const std::string& socketPath, const nlohmann::json& request,
                  nlohmann::json& reply, std::string& error, int timeoutMs) {
  const int fd = connectTo(socketPath, error);
  if (fd < 0) return false;
  const int64_t deadline = nowMs() + timeoutMs;
  std::string buffer, line;
  bool ok = sendAll(fd, request.dump() + "\n", deadline, error);
  if (ok) {
    const int got = readLine(fd, -1, buffer, line, deadline);
    if (got <= 0) {
      error = got == 0 ? "the bench does not answer" : "the bench closed the connection";
      ok = false;
    }
  }
  ::close(fd);
  if (!ok) return false;
  reply = nlohmann::json::parse(line, nullptr, false);
  if (reply.is_discarded() || !reply.is_object()) {
    error = "the bench's answer is not a JSON object";
    return false;
  }
  return true;
}

// The wake pipe is made here, before any thread can use the subscription: open() on the
// following thread and close() on the owner's then only read the descriptors.
BenchSubscription::BenchSubscription() {
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipeError_ = std::string("pipe: ") + std::strerror(errno);
    wakePipe_[0] = wakePipe_[1] = -1;
  }
}

BenchSubscription::~BenchSubscription() {
  if (fd_ >= 0) ::close(fd_);
  for (int& fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

bool BenchSubscription::open(const std::string& socketPath, std::string& error) {
  if (wakePipe_[0] < 0) {
    error = pipeError_;
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  buffer_.clear();
  fd_ = connectTo(socketPath, error);
  if (fd_ < 0) return false;
  const int64_t deadline = nowMs() + 10000;
  std::string line;
  if (!sendAll(fd_, "{\"cmd\":\"subscribe\"}\n", deadline, error) ||
      readLine(fd_, wakePipe_[0], buffer_, line, deadline) != 1 ||
      !benchReplyOk(nlohmann::json::parse(line, nullptr, false))) {
    if (error.empty()) error = "the bench refused the subscription";
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

int BenchSubscription::next(nlohmann::json& event, int timeoutMs) {
  if (fd_ < 0) return -1;
  std::string line;
  const int got = readLine(fd_, wakePipe_[0], buffer_, line, nowMs() + timeoutMs);
  if (got != 1) return got;
  event = nlohmann::json::parse(line, nullptr, false);
  return event.is_discarded() ? next(event, 0) : 1;
}

void BenchSubscription::close() {
  if (wakePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &byte, 1);
  }
}

}  // namespace host
