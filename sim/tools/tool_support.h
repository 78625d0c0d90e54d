#pragma once
// What the simulated outside tools share: their arguments as a command interpreter may hand
// them over (quotes left in, a stray carriage return at the end), the bench behind the COM
// port they were given, their output and pacing, and hanging on purpose.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace simtools {

// The argument without surrounding blanks and line ends, and without one pair of double
// quotes around all of it (quotes inside it stay: they may be part of a file name).
std::string cleanArgument(const std::string& argument);
// The COM number in "\\.\COM9", "COM9", "9"; 0 when there is none.
unsigned comNumberIn(const std::string& text);

// Asks the bench about the module behind `com` ({"cmd": cmd, "com": com, ...fields}).
bool askBench(const std::string& cmd, unsigned com, nlohmann::json& reply,
              nlohmann::json fields = nlohmann::json::object());

// Prints one line of output at once (the station reads it through a pipe while we run).
void say(const std::string& line);
// Waits `seconds`, scaled by ZENDRAL_TIME_SCALE.
void pace(double seconds);
// Stops answering, as a tool that hangs on a dead port: ends only when killed.
[[noreturn]] void hangForever();

}  // namespace simtools
