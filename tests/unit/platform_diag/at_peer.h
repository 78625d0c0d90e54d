#pragma once
// A module's AT port on a pseudo terminal: the station opens the tty side, the peer answers
// each command line on the master side with a scripted reply (or stays silent, or floods).

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class AtPeer {
 public:
  // Gets a command without its line end; returns the bytes to answer (empty: no answer).
  using Responder = std::function<std::string(const std::string& command)>;

  explicit AtPeer(Responder responder) : responder_(std::move(responder)) { start(); }

  // A peer that writes bytes without pause and never answers.
  struct Flood {};
  explicit AtPeer(Flood) : flood_(true) { start(); }

  ~AtPeer() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }

  const std::string& ttyPath() const { return ttyPath_; }

  // The command lines received so far, without their line ends.
  std::vector<std::string> commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }

 private:
  void start() {
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

  void run() {
    std::string pending;
    char chunk[512];
    const std::string floodBytes(sizeof chunk, 'x');
    while (!stop_) {
      if (flood_ && ::write(master_, floodBytes.data(), floodBytes.size()) < 0) {
        pollfd writable{master_, POLLOUT, 0};
        ::poll(&writable, 1, 5);
      }
      pollfd entry{master_, POLLIN, 0};
      if (::poll(&entry, 1, 5) <= 0 || !(entry.revents & POLLIN)) continue;
      const ssize_t n = ::read(master_, chunk, sizeof chunk);
      if (n <= 0) continue;
      if (flood_) continue;
      pending.append(chunk, static_cast<size_t>(n));
      answerCompleteLines(pending);
    }
  }

  void answerCompleteLines(std::string& pending) {
    for (size_t end; (end = pending.find('\r')) != std::string::npos;) {
      std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      while (!command.empty() && command.front() == '\n') command.erase(0, 1);
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
      }
      if (responder_) writeAll(responder_(command));
    }
  }

  void writeAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size() && !stop_) {
      const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        pollfd entry{master_, POLLOUT, 0};
        ::poll(&entry, 1, 5);
      }
    }
  }

  Responder responder_;
  bool flood_ = false;
  int master_ = -1;
  int slave_ = -1;
  std::string ttyPath_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::thread worker_;
};
