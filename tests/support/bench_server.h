#pragma once
// A virtual bench for one test: `zendral-bench serve` started as its own program on a control
// socket, ready once it answers a request, asked to quit and collected when the object goes.
// Pointing ZENDRAL_BENCH at the socket is left to the test, which knows who should see it.

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/child_process.h"

namespace test_support {

class BenchServer {
 public:
  // Starts `program serve --socket SOCKET [options]` and waits until the bench answers (for a
  // generous while: a guard against hangs only).
  BenchServer(const std::string& program, const std::string& socket,
              const std::vector<std::string>& options = {});
  ~BenchServer();

  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  // Whether the bench serves; when not, error() says why.
  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& socket() const { return socket_; }

  // One request; a bench that cannot be reached fails the test and gives an empty reply.
  nlohmann::json request(const nlohmann::json& body);

 private:
  std::string socket_;
  std::string error_;
  std::unique_ptr<host::ChildProcess> process_;
};

}  // namespace test_support
