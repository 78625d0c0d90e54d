#pragma once
// The bench's control socket: a Unix stream socket on which every line is one JSON request and
// gets one JSON reply line. Two requests are the server's own: {"cmd":"subscribe"} turns the
// connection into a feed of device events (one JSON line each, after the reply), and
// {"cmd":"quit"} ends the bench. The server also serves the modules' serial ports. Everything
// runs on the thread that calls run().

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "sim/bench/bench.h"

namespace sim {

class ControlServer {
 public:
  explicit ControlServer(std::string socketPath, TimingMode timing = TimingMode::kTest);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Binds the socket. Refuses a path where a bench already answers; a stale socket file left by
  // a bench that died is replaced.
  bool start(std::string& error);
  // Serves until quit or stop(); then unplugs every module and removes the socket.
  void run();
  // Ends run() soon; safe from any thread and from a signal handler.
  void stop();

  Bench& bench() { return bench_; }

 private:
  struct Client {
    int fd = -1;
    std::string input;
    std::string output;
    bool subscribed = false;
    bool closing = false;  // close once the output is sent
  };

  void serveOnce();
  void acceptClients();
  void readClient(Client& client);
  void writeClient(Client& client);
  void handleLine(Client& client, const std::string& line);
  void broadcast(const nlohmann::json& event);
  void shutdown();

  std::string socketPath_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<Client>> clients_;
  Bench bench_;
};

// Makes SIGINT and SIGTERM stop `server` (and ignores SIGPIPE).
void stopServerOnSignals(ControlServer& server);

}  // namespace sim
