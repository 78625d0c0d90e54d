// zendral-bench: the virtual bench of simulated modules.
//
//   zendral-bench serve --socket PATH [--timing test|real]
//   zendral-bench --socket PATH plug --platform NAME [--imei 15DIGITS] [--meid 14CHARS]
//                                    [--flash 512|1024] [--port N] [--fault FAULT]...
//   zendral-bench --socket PATH unplug ID | replug ID [--port N] | state | quit
//   zendral-bench make-firmware --platform NAME DIR [--size-scale F] [--station-dir DIR]
//                               [--seed N] [--big-image NAME=BYTES]...
//                               [--variant elf|sdx55|9x55|9x45]   (Qca8909's firmware families)
//
// A module sits on a hub port (--port, else the lowest free one) whose port path "1-N" every
// port and device of the module carries; `replug --port` moves it to another hub port.
// The socket defaults to ZENDRAL_BENCH. `plug` prints the new module's id, `state` the JSON
// state of every module. `--timing real` keeps the modules' own delays (restarts, port
// re-enumeration) as long as a real module's, whatever ZENDRAL_TIME_SCALE says.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/bench_client.h"
#include "sim/bench/control_server.h"
#include "sim/bench/firmware_maker.h"

namespace {

int usage() {
  std::fprintf(
      stderr,
      "usage: zendral-bench serve --socket PATH [--timing test|real]\n"
      "       zendral-bench [--socket PATH] plug --platform NAME [--imei N] [--meid M]"
      " [--flash MB] [--port N] [--fault FAULT]...\n"
      "       zendral-bench [--socket PATH] unplug ID | replug ID [--port N] | state | quit\n"
      "       zendral-bench make-firmware --platform NAME DIR [--size-scale F]"
      " [--station-dir DIR] [--seed N] [--big-image NAME=BYTES]...\n"
      "                    [--variant elf|sdx55|9x55|9x45]\n");
  return 2;
}

struct Arguments {
  std::string command;
  std::string socket = host::benchSocketPath();
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // in order, may repeat

  std::string option(const std::string& name, const std::string& fallback = "") const {
    for (const auto& [key, value] : options) {
      if (key == name) return value;
    }
    return fallback;
  }
};

// Options always take a value ("--name VALUE" or "--name=VALUE").
bool parseArguments(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word.rfind("--", 0) == 0) {
      std::string name = word.substr(2), value;
      const size_t equals = name.find('=');
      if (equals != std::string::npos) {
        value = name.substr(equals + 1);
        name = name.substr(0, equals);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        std::fprintf(stderr, "zendral-bench: --%s needs a value\n", name.c_str());
        return false;
      }
      if (name == "socket") {
        args.socket = value;
      } else {
        args.options.emplace_back(name, value);
      }
    } else if (args.command.empty()) {
      args.command = word;
    } else {
      args.positional.push_back(word);
    }
  }
  return !args.command.empty();
}

int serve(const Arguments& args) {
  if (args.socket.empty()) {
    std::fprintf(stderr, "zendral-bench: serve needs --socket PATH\n");
    return 2;
  }
  const std::string timing = args.option("timing", "test");
  if (timing != "test" && timing != "real") {
    std::fprintf(stderr, "zendral-bench: --timing is test or real\n");
    return 2;
  }
  sim::ControlServer server(args.socket,
                            timing == "real" ? sim::TimingMode::kReal : sim::TimingMode::kTest);
  std::string error;
  if (!server.start(error)) {
    std::fprintf(stderr, "zendral-bench: %s\n", error.c_str());
    return 1;
  }
  sim::stopServerOnSignals(server);
  std::printf("zendral-bench: serving on %s\n", args.socket.c_str());
  std::fflush(stdout);
  server.run();
  return 0;
}

// Sends one request and prints the reply's error, if any. Returns the exit status.
int exchange(const Arguments& args, const nlohmann::json& request, nlohmann::json& reply) {
  if (args.socket.empty()) {
    std::fprintf(stderr, "zendral-bench: no bench socket (use --socket or ZENDRAL_BENCH)\n");
    return 2;
  }
  std::string error;
  if (!host::benchRequest(args.socket, request, reply, error)) {
    std::fprintf(stderr, "zendral-bench: %s\n", error.c_str());
    return 1;
  }
  if (!host::benchReplyOk(reply)) {
    std::fprintf(stderr, "zendral-bench: %s\n", reply.value("error", "refused").c_str());
    return 1;
  }
  return 0;
}

// Adds "port" to `request` from --port. False (after saying so) when it is not a number.
bool addHubPort(const Arguments& args, nlohmann::json& request) {
  const std::string port = args.option("port");
  if (port.empty()) return true;
  char* end = nullptr;
  const long number = std::strtol(port.c_str(), &end, 10);
  if (end == port.c_str() || *end != '\0') {
    std::fprintf(stderr, "zendral-bench: --port needs a number\n");
    return false;
  }
  request["port"] = number;
  return true;
}

int plug(const Arguments& args) {
  nlohmann::json request = {{"cmd", "plug"}, {"platform", args.option("platform")}};
  if (request["platform"] == "") {
    std::fprintf(stderr, "zendral-bench: plug needs --platform NAME\n");
    return 2;
  }
  if (!args.option("imei").empty()) request["imei"] = args.option("imei");
  if (!args.option("meid").empty()) request["meid"] = args.option("meid");
  if (!args.option("flash").empty()) request["flash"] = args.option("flash");
  if (!addHubPort(args, request)) return 2;
  request["faults"] = nlohmann::json::array();
  for (const auto& [key, value] : args.options) {
    if (key == "fault") request["faults"].push_back(value);
  }
  nlohmann::json reply;
  const int status = exchange(args, request, reply);
  if (status == 0) std::printf("%s\n", reply.value("id", "").c_str());
  return status;
}

int moduleCommand(const Arguments& args) {
  if (args.positional.size() != 1) return usage();
  nlohmann::json request = {{"cmd", args.command}, {"id", args.positional[0]}};
  if (args.command == "replug" && !addHubPort(args, request)) return 2;
  nlohmann::json reply;
  return exchange(args, request, reply);
}

int state(const Arguments& args) {
  nlohmann::json reply;
  const int status = exchange(args, {{"cmd", "state"}}, reply);
  if (status == 0) {
    reply.erase("ok");
    std::printf("%s\n", reply.dump(2).c_str());
  }
  return status;
}

int makeFirmwareCommand(const Arguments& args) {
  if (args.positional.size() != 1 || args.option("platform").empty()) return usage();
  sim::FirmwareOptions options;
  options.platform = args.option("platform");
  options.folder = args.positional[0];
  options.stationFolder = args.option("station-dir");
  options.variant = args.option("variant");
  char* end = nullptr;
  const std::string scale = args.option("size-scale", "1");
  options.sizeScale = std::strtod(scale.c_str(), &end);
  if (end == scale.c_str() || *end != '\0') {
    std::fprintf(stderr, "zendral-bench: --size-scale needs a number\n");
    return 2;
  }
  options.seed = static_cast<unsigned>(std::strtoul(args.option("seed", "1").c_str(), nullptr, 10));
  for (const auto& [key, value] : args.options) {
    if (key != "big-image") continue;
    const size_t equals = value.find('=');
    const char* bytes = equals == std::string::npos ? "" : value.c_str() + equals + 1;
    const unsigned long long size = std::strtoull(bytes, &end, 10);
    if (*bytes == '\0' || *end != '\0') {
      std::fprintf(stderr, "zendral-bench: --big-image needs NAME=BYTES\n");
      return 2;
    }
    options.exactSizes[value.substr(0, equals)] = size;
  }
  std::vector<std::string> written;
  std::string error;
  if (!sim::makeFirmware(options, written, error)) {
    std::fprintf(stderr, "zendral-bench: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& path : written) std::printf("%s\n", path.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!parseArguments(argc, argv, args)) return usage();
  if (args.command == "serve") return serve(args);
  if (args.command == "make-firmware") return makeFirmwareCommand(args);
  if (args.command == "plug") return plug(args);
  if (args.command == "unplug" || args.command == "replug") return moduleCommand(args);
  if (args.command == "state") return state(args);
  if (args.command == "quit") {
    nlohmann::json reply;
    return exchange(args, {{"cmd", "quit"}}, reply);
  }
  return usage();
}
