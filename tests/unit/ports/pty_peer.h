#pragma once
// The far end of a pseudo terminal, standing in for a module's serial port in tests. The
// tty side is what the station opens by path; the peer answers on the master side.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

class PtyPeer {
 public:
  enum class Behaviour { AnswerOk, Silent, Echo, Flood };

  explicit PtyPeer(Behaviour behaviour) : behaviour_(behaviour) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    ttyPath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    worker_ = std::thread([this] { run(); });
  }

  ~PtyPeer() {
    stopAnswering();
    hangUp();
    if (slave_ >= 0) ::close(slave_);
  }

  const std::string& ttyPath() const { return ttyPath_; }

  // What the station has written so far.
  std::string received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

  void stopAnswering() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
  }

  // Closes the master side: the tty is hung up, as when a module is unplugged.
  void hangUp() {
    stopAnswering();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Hangs up and closes the last tty descriptor as well: the tty path disappears.
  void vanish() {
    hangUp();
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  void run() {
    std::string pending;
    char chunk[512];
    while (!stop_) {
      if (behaviour_ == Behaviour::Flood) {
        std::string bytes(sizeof chunk, 'x');
        if (::write(master_, bytes.data(), bytes.size()) < 0) waitReady(POLLOUT);
        drain(chunk, sizeof chunk);
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
      answer(text, pending);
    }
  }

  void answer(const std::string& text, std::string& pending) {
    if (behaviour_ == Behaviour::Echo) {
      writeAll(text);
    } else if (behaviour_ == Behaviour::AnswerOk) {
      pending += text;
      if (pending.find('\r') != std::string::npos) {
        writeAll("\r\nOK\r\n");
        pending.clear();
      }
    }
  }

  void drain(char* chunk, size_t size) {
    const ssize_t n = ::read(master_, chunk, size);
    if (n > 0) {
      std::lock_guard lock(mutex_);
      received_.append(chunk, static_cast<size_t>(n));
    }
  }

  void writeAll(const std::string& text) {
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

  bool waitReady(short events) {
    pollfd entry{master_, events, 0};
    return ::poll(&entry, 1, 10) > 0 && (entry.revents & events);
  }

  Behaviour behaviour_;
  int master_ = -1;
  int slave_ = -1;
  std::string ttyPath_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
  std::thread worker_;
};
