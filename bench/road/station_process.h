#pragma once
// The headless station as a child process for the bench programs: started in a working
// folder with its standard input and output on pipes, fed operator actions line by line and
// followed by its JSON events, which a reader thread collects.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace road {

class StationProcess {
 public:
  using Match = std::function<bool(const nlohmann::json&)>;

  StationProcess(const std::string& workingDir, const std::string& program);
  ~StationProcess();
  StationProcess(const StationProcess&) = delete;
  StationProcess& operator=(const StationProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  void send(const std::string& line);
  // Asks the station to quit and waits (up to `limit`) for it to end; kills it after that.
  // Returns its exit code, or -1 when it had to be killed.
  int quit(std::chrono::seconds limit);

  size_t eventCount();
  // Waits for an event matching `match` among those after the first `from`; false when the
  // station ended or `limit` passed first. `found` gets the event when given.
  bool waitForAfter(size_t from, const Match& match, std::chrono::milliseconds limit,
                    nlohmann::json* found = nullptr);
  // The text of the last message event, for reports.
  std::string lastMessage();

 private:
  void readLines();

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<nlohmann::json> events_;
  bool ended_ = false;
};

}  // namespace road
