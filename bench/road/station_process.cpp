#include "bench/road/station_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace road {

StationProcess::StationProcess(const std::string& workingDir, const std::string& program) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    const std::string errors = workingDir + "/station.err";
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::dup2(fd, 2);
    if (::chdir(workingDir.c_str()) != 0) ::_exit(126);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
  if (pid_ > 0) reader_ = std::thread([this] { readLines(); });
}

StationProcess::~StationProcess() {
  if (pid_ > 0) quit(std::chrono::seconds(30));
  if (reader_.joinable()) reader_.join();
  if (output_ >= 0) ::close(output_);
}

void StationProcess::send(const std::string& line) {
  const std::string text = line + "\n";
  if (input_ >= 0) (void)!::write(input_, text.data(), text.size());
}

int StationProcess::quit(std::chrono::seconds limit) {
  if (pid_ <= 0) return -1;
  send("quit");
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t StationProcess::eventCount() {
  std::lock_guard lock(mutex_);
  return events_.size();
}

bool StationProcess::waitForAfter(size_t from, const Match& match, std::chrono::milliseconds limit,
                                  nlohmann::json* found) {
  std::unique_lock lock(mutex_);
  size_t next = from;
  auto seen = [&] {
    for (; next < events_.size(); ++next) {
      if (match(events_[next])) return true;
    }
    return false;
  };
  const bool matched =
      changed_.wait_for(lock, limit, [&] { return seen() || ended_; }) && next < events_.size();
  if (matched && found) *found = events_[next];
  return matched;
}

std::string StationProcess::lastMessage() {
  std::lock_guard lock(mutex_);
  for (auto e = events_.rbegin(); e != events_.rend(); ++e) {
    if ((*e)["event"] == "message") return (*e).value("text", "");
  }
  return "";
}

void StationProcess::readLines() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      nlohmann::json event = nlohmann::json::parse(pending.substr(0, end), nullptr, false);
      pending.erase(0, end + 1);
      if (event.is_discarded()) continue;
      std::lock_guard lock(mutex_);
      events_.push_back(std::move(event));
      changed_.notify_all();
    }
  }
  std::lock_guard lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

}  // namespace road
