#include "support/bench_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/bench_client.h"

namespace test_support {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr int kRequestLimitMs = 1000;

}  // namespace

BenchServer::BenchServer(const std::string& program, const std::string& socket,
                         const std::vector<std::string>& options)
    : socket_(socket) {
  std::vector<std::string> command = {program, "serve", "--socket", socket_};
  command.insert(command.end(), options.begin(), options.end());
  process_ = host::ChildProcess::start(command, &error_);
  if (!process_) {
    if (error_.empty()) error_ = "cannot start " + program;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  for (;;) {
    nlohmann::json reply;
    std::string why;
    if (host::benchRequest(socket_, {{"cmd", "state"}}, reply, why, kRequestLimitMs)) return;
    if (!process_->running() || std::chrono::steady_clock::now() >= deadline) {
      error_ = "the bench does not come up: " + why;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

BenchServer::~BenchServer() {
  if (!process_) return;
  nlohmann::json reply;
  std::string error;
  if (!host::benchRequest(socket_, {{"cmd", "quit"}}, reply, error)) process_->kill();
  process_->wait();
}

nlohmann::json BenchServer::request(const nlohmann::json& body) {
  nlohmann::json reply;
  std::string error;
  EXPECT_TRUE(host::benchRequest(socket_, body, reply, error)) << error;
  return reply;
}

}  // namespace test_support
