#include "sim/tools/tool_support.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include "host/bench_client.h"
#include "host/clock.h"

namespace simtools {

std::string cleanArgument(const std::string& argument) {
  size_t begin = 0, end = argument.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (begin < end && blank(argument[begin])) ++begin;
  while (end > begin && blank(argument[end - 1])) --end;
  // One pair of quotes around the whole value is the typed form's; quotes inside a value are
  // part of a name.
  if (end - begin >= 2 && argument[begin] == '"' && argument[end - 1] == '"') {
    ++begin;
    --end;
  }
  return argument.substr(begin, end - begin);
}

unsigned comNumberIn(const std::string& text) {
  size_t at = text.rfind("COM");
  at = at == std::string::npos ? 0 : at + 3;
  unsigned value = 0;
  size_t digits = 0;
  for (size_t i = at; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (++digits > 6) return 0;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return digits ? value : 0;
}

bool askBench(const std::string& cmd, unsigned com, nlohmann::json& reply, nlohmann::json fields) {
  fields["cmd"] = cmd;
  fields["com"] = com;
  std::string error;
  const std::string socket = host::benchSocketPath();
  if (socket.empty() || !host::benchRequest(socket, fields, reply, error)) {
    reply = {{"ok", false}, {"error", socket.empty() ? "no bench (ZENDRAL_BENCH)" : error}};
    return false;
  }
  return host::benchReplyOk(reply);
}

void say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void pace(double seconds) {
  const int64_t ms = host::scaledMs(static_cast<int64_t>(seconds * 1000));
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void hangForever() {
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

}  // namespace simtools
