#pragma once
// The client side of the virtual bench's control socket (ZENDRAL_BENCH=PATH): one JSON request
// per line, one JSON reply per line, and a subscription that delivers the bench's device
// events as they happen. Used by the bench backends of the station, by zendral-bench's own
// commands, and by the simulated diagnostic library and tools.

#include <nlohmann/json.hpp>
#include <string>

namespace host {

// The bench's socket path from ZENDRAL_BENCH; empty when the variable is not set.
std::string benchSocketPath();

// One request on a fresh connection. Returns false with `error` set when the bench cannot be
// reached, does not answer within `timeoutMs` (real milliseconds) or answers something that is
// not a JSON object. A reply {"ok": false, ...} is a successful exchange.
bool benchRequest(const std::string& socketPath, const nlohmann::json& request,
                  nlohmann::json& reply, std::string& error, int timeoutMs = 10000);

// The reply's "ok" flag; false for anything else.
bool benchReplyOk(const nlohmann::json& reply);

// A subscription to the bench's device events.
class BenchSubscription {
 public:
  BenchSubscription();
  ~BenchSubscription();
  BenchSubscription(const BenchSubscription&) = delete;
  BenchSubscription& operator=(const BenchSubscription&) = delete;

  // Connects and subscribes; false with `error` set on failure.
  bool open(const std::string& socketPath, std::string& error);
  // Waits up to `timeoutMs` for the next event. Returns 1 with `event` set, 0 on time-out,
  // -1 when the connection ended (the bench quit) or close() was called.
  int next(nlohmann::json& event, int timeoutMs);
  // Ends a next() waiting on another thread, and the subscription for good.
  void close();

 private:
  int fd_ = -1;
  int wakePipe_[2] = {-1, -1};
  std::string pipeError_;  // why the wake pipe could not be made
  std::string buffer_;
};

}  // namespace host
