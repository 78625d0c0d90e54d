#include "support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace test_support {

PtyPeer::PtyPeer(Behaviour behaviour) : behaviour_(behaviour) {
  start();
}

PtyPeer::PtyPeer(Responder responder)
    : behaviour_(Behaviour::Silent), responder_(std::move(responder)) {
  start();
}

PtyPeer::~PtyPeer() {
  vanish();
}

void PtyPeer::start() {
  // Raw from the start: a module's port never echoes or rewrites what the module sends.
  termios raw{};
  ::cfmakeraw(&raw);
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  ttyPath_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  worker_ = std::thread([this] { run(); });
}

std::string PtyPeer::received() {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> PtyPeer::commands() {
  std::lock_guard lock(mutex_);
  return commands_;
}

void PtyPeer::stopAnswering() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

void PtyPeer::hangUp() {
  stopAnswering();
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPeer::vanish() {
  hangUp();
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
}

void PtyPeer::run() {
  char chunk[512];
  while (!stop_) {
    if (behaviour_ == Behaviour::Flood) {
      flood(chunk, sizeof chunk);
      continue;
    }
    if (!waitReady(POLLIN)) continue;
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) continue;
    const std::string text(chunk, static_cast<size_t>(n));
    {
      std::lock_guard lock(mutex_);
      received_ += text;
    }
    answer(text);
  }
}

// One round of flooding: a chunk of filler out, whatever the station wrote in.
void PtyPeer::flood(char* chunk, size_t size) {
  const std::string filler(size, 'x');
  if (::write(master_, filler.data(), filler.size()) < 0) waitReady(POLLOUT);
  const ssize_t n = ::read(master_, chunk, size);
  if (n > 0) {
    std::lock_guard lock(mutex_);
    received_.append(chunk, static_cast<size_t>(n));
  }
}

void PtyPeer::answer(const std::string& text) {
  if (responder_) {
    pending_ += text;
    answerCommandLines();
  } else if (behaviour_ == Behaviour::Echo) {
    writeAll(text);
  } else if (behaviour_ == Behaviour::AnswerOk) {
    pending_ += text;
    if (pending_.find('\r') != std::string::npos) {
      writeAll("\r\nOK\r\n");
      pending_.clear();
    }
  }
}

// Each command ends with "\r"; a "\n" left over from the previous line end is dropped.
void PtyPeer::answerCommandLines() {
  for (size_t end; (end = pending_.find('\r')) != std::string::npos;) {
    std::string command = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    while (!command.empty() && command.front() == '\n') command.erase(0, 1);
    {
      std::lock_guard lock(mutex_);
      commands_.push_back(command);
    }
    writeAll(responder_(command));
  }
}

void PtyPeer::writeAll(const std::string& text) {
  size_t done = 0;
  while (done < text.size() && !stop_) {
    const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      waitReady(POLLOUT);
    }
  }
}

bool PtyPeer::waitReady(short events) {
  pollfd entry{master_, events, 0};
  return ::poll(&entry, 1, 10) > 0 && (entry.revents & events);
}

}  // namespace test_support
