// QSaharaServer.exe (simulated): uploads a flash programmer into a module waiting in
// emergency download mode.
//
//   QSaharaServer.exe -u PORT -s 13:PROGRAMMER [-p \\.\COMn]
//
// It prints the phrases the station reads: "File transferred successfully" at the end of a
// good upload, "Image using Sahara protocol failed" after a failed one.

#include <cstdio>
#include <string>

#include "sim/bench/sha256.h"
#include "sim/tools/tool_support.h"

using namespace simtools;

namespace {

constexpr double kBytesPerSecond = 2.0 * 1024 * 1024;
// How long the tool waits for the module's hello.
constexpr double kHelloWaitSeconds = 10.0;
constexpr int kProgrammerImageId = 13;

int failed(const std::string& why) {
  say("ERROR: function: sahara_main:854 " + why);
  say("ERROR: function: main:303 Uploading  Image using Sahara protocol failed");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned com = 0;
  std::string programmer;
  int imageId = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string word = cleanArgument(argv[i]);
    if ((word == "-u" || word == "-p") && i + 1 < argc) {
      com = comNumberIn(cleanArgument(argv[++i]));
    } else if (word == "-s" && i + 1 < argc) {
      const std::string image = cleanArgument(argv[++i]);
      const size_t colon = image.find(':');
      if (colon != std::string::npos) {
        imageId = std::atoi(image.substr(0, colon).c_str());
        programmer = cleanArgument(image.substr(colon + 1));
      }
    }
  }
  if (com == 0 || programmer.empty() || imageId != kProgrammerImageId) {
    std::fprintf(stderr, "usage: QSaharaServer.exe -u PORT -s 13:PROGRAMMER\n");
    return 2;
  }
  say("INFO: function: main:265 Binary build date: Mar 14 2024 @ 09:26:53");
  say("INFO: function: main:286 Opening port \\\\.\\COM" + std::to_string(com));
  nlohmann::json reply;
  askBench("faults", com, reply);
  if (reply.value("toolHang", false)) {
    say("INFO: function: sahara_main:924 Waiting for the target's HELLO");
    hangForever();
  }
  std::string sha;
  uint64_t size = 0;
  if (!sim::sha256OfFile(programmer, sha, size) || size == 0) {
    return failed("Could not open image file '" + programmer + "'");
  }
  bool hello = false;
  for (double waited = 0; waited <= kHelloWaitSeconds && !hello; waited += 0.25) {
    hello = askBench("sahara-connect", com, reply);
    if (!hello) pace(0.25);
  }
  if (!hello) return failed("No HELLO from the target on COM" + std::to_string(com));
  say("INFO: function: sahara_main:924 Received HELLO, version " +
      std::to_string(reply.value("version", 0u)));
  say("INFO: function: sahara_start:734 Sending image " + std::to_string(imageId) + " (" +
      std::to_string(size) + " bytes)");
  for (int step = 1; step <= 4; ++step) {
    pace(static_cast<double>(size) / kBytesPerSecond / 4);
    say("INFO: function: sahara_start:767 Sent " + std::to_string(size * step / 4) + " bytes");
  }
  const std::string name = programmer.substr(programmer.find_last_of("/\\") + 1);
  if (!askBench("sahara-programmer", com, reply,
                {{"name", name}, {"sha256", sha}, {"path", programmer}})) {
    return failed(reply.value("error", "The target refused the image"));
  }
  say("INFO: function: sahara_start:814 Received END_IMAGE_TX for image 13");
  say("INFO: function: main:320 File transferred successfully");
  say("INFO: function: main:330 Sahara protocol completed");
  return 0;
}
