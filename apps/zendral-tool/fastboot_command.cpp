// zendral-tool fastboot: talks to one fastboot device with the station's own client, so a line
// engineer sees exactly what an AP download would do.
//
//   zendral-tool fastboot devices
//   zendral-tool fastboot --device PATH [--piece-size N] COMMAND...
//     getvar NAME | flash PARTITION FILE | erase PARTITION | reboot
//
// PATH is an interface path (a bench module's too when ZENDRAL_BENCH is set) or tcp:HOST:PORT. The
// messages of flash and erase are printed as the DUT log shows them (and logged to Dut1.log like
// the station's). On failure the tool prints "error: " and the protocol's error text and exits 1;
// usage errors exit 2.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "apps/zendral-tool/subcommands.h"
#include "fastboot/action_queue.h"
#include "fastboot/backends.h"
#include "fastboot/bench_transport.h"
#include "fastboot/executor.h"
#include "fastboot/image_loader.h"
#include "fastboot/protocol.h"
#include "fastboot/transport.h"
#include "host/operator_surface.h"
#include "host/report.h"

namespace {

constexpr int kDut = 1;

int usage() {
  std::fprintf(stderr,
               "usage: zendral-tool fastboot devices\n"
               "       zendral-tool fastboot --device PATH [--piece-size N] COMMAND...\n"
               "COMMAND: getvar NAME | flash PARTITION FILE | erase PARTITION | reboot\n");
  return 2;
}

// Prints the DUT's messages on standard output, dated like its log lines.
class ConsoleSurface : public host::OperatorSurface {
 public:
  void setDutMessage(int, const std::string& text) override {
    if (text.empty()) return;
    std::printf("%s\n", datedLogLine(text).c_str());
    std::fflush(stdout);
  }
  void setDutProgress(int, double, const std::string&) override {}
  void setDutStatus(int, int, host::Rgb, bool, host::Rgb) override {}
  void messageBox(const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
};

struct Command {
  std::string verb;
  std::vector<std::string> args;
};

int fail(const std::string& text) {
  std::fprintf(stderr, "error: %s\n", text.c_str());
  return 1;
}

// Splits the words after the options into commands; false on an unknown or incomplete one.
bool parseCommands(int argc, char** argv, int first, std::vector<Command>& commands) {
  for (int i = first; i < argc;) {
    std::string verb = argv[i++];
    int count = verb == "getvar" || verb == "erase" ? 1 : verb == "flash" ? 2 : 0;
    if (verb != "getvar" && verb != "erase" && verb != "flash" && verb != "reboot") return false;
    if (i + count > argc) return false;
    Command c{verb, {}};
    for (int k = 0; k < count; ++k) c.args.emplace_back(argv[i++]);
    commands.push_back(c);
  }
  return !commands.empty();
}

// Lists every fastboot interface with its serial number. Nothing is claimed, so a device that
// a station is flashing goes on undisturbed; one whose serial cannot be read is listed with an
// empty serial.
int listDevices() {
  for (const std::string& path : fastboot::enumerateInterfacePaths()) {
    std::string serial;
    usb_read_serial(path, serial);
    std::printf("%s\t%s\n", path.c_str(), serial.c_str());
  }
  return 0;
}

// Runs the queue as an AP download would; progress is measured against `total`.
int runQueue(fb_transport* t, uint64_t total) {
  int result = fb_execute_queue(kDut, t, total, 0.0);
  return result == 0 ? 0 : fail(fb_get_error());
}

int runCommand(fb_transport* t, const Command& c) {
  if (c.verb == "getvar") {
    char value[kFastbootResponseSize];
    std::string command = "getvar:" + c.args[0];
    if (fb_command_response(t, command.c_str(), value) != 0) return fail(fb_get_error());
    std::printf("%s\n", value);
    return 0;
  }
  if (c.verb == "reboot") {
    updateMesage(kDut, "rebooting");
    return fb_command(t, "reboot") == 0 ? 0 : fail(fb_get_error());
  }
  queue_action_clear();
  if (c.verb == "erase") {
    fb_queue_erase(c.args[0].c_str());
    return runQueue(t, 1);
  }
  long size = 0;
  uint8_t* data = load_image(ImageKind::kUser, c.args[1].c_str(), &size);
  if (!data) return fail("cannot load '" + c.args[1] + "'");
  fb_queue_flash(c.args[0].c_str(), data, static_cast<uint64_t>(size));
  int result = runQueue(t, static_cast<uint64_t>(size));
  release_images();
  return result;
}

bool parsePieceSize(const char* text, uint32_t& size) {
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text, &end, 0);
  if (errno || end == text || *end || value == 0 || value > UINT32_MAX) return false;
  size = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

int runFastbootCommand(int argc, char** argv) {
  // With ZENDRAL_BENCH set, the virtual bench's modules are devices like any other.
  fastboot::registerBenchBackendFromEnvironment();
  std::string device;
  uint32_t pieceSize = 0;
  int i = 0;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (i + 1 >= argc) return usage();
    if (std::strcmp(argv[i], "--device") == 0) {
      device = argv[i + 1];
    } else if (std::strcmp(argv[i], "--piece-size") == 0) {
      if (!parsePieceSize(argv[i + 1], pieceSize)) return usage();
    } else {
      return usage();
    }
  }
  if (i < argc && std::strcmp(argv[i], "devices") == 0) {
    return i + 1 == argc ? listDevices() : usage();
  }
  std::vector<Command> commands;
  if (device.empty() || !parseCommands(argc, argv, i, commands)) return usage();

  ConsoleSurface console;
  host::installSurface(&console);
  fb_set_flash_piece_limit(pieceSize);
  fb_transport* t = usb_open_by_name(device, match_fastboot);
  if (!t) {
    const int error = usb_last_error();
    if (error == EACCES || error == EPERM) return fail(usb_permission_text(device));
    return fail("cannot open fastboot device '" + device + "' (" + std::strerror(error) + ")");
  }
  int result = 0;
  for (const Command& c : commands) {
    result = runCommand(t, c);
    if (result != 0) break;
  }
  usb_close(t);
  queue_action_clear();
  host::installSurface(nullptr);
  return result;
}
