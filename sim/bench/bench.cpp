#include "sim/bench/bench.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "host/clock.h"

namespace sim {
namespace {

// COM numbers of module n: diagnostic 10n+1, AT 10n+2, download 10n+3, EDL 10n+4.
ComNumbers comNumbersOf(int number) {
  const int base = 10 * number;
  return {base + 1, base + 2, base + 3, base + 4};
}

// Module numbers stop well before COM numbers run out of the station's range.
constexpr int kMaxModules = 999;

// The ports of the bench's hub.
constexpr int kHubPorts = 64;

bool isDigits(const std::string& text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

}  // namespace

nlohmann::json okReply(nlohmann::json fields) {
  fields["ok"] = true;
  return fields;
}

nlohmann::json errorReply(const std::string& text) {
  return {{"ok", false}, {"error", text}};
}

std::string makeImei(unsigned number) {
  char digits[15];
  std::snprintf(digits, sizeof digits, "86%012u", number);
  std::string imei = digits;
  int sum = 0;
  for (size_t i = 0; i < 14; ++i) {
    int d = imei[i] - '0';
    if (i % 2 == 1) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return imei + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string makeMeid(unsigned number) {
  char text[16];
  std::snprintf(text, sizeof text, "A1%012X", number);
  return text;
}

Bench::Bench(EventListener listener, TimingMode timing)
    : listener_(std::move(listener)), clock_(timing) {}

Bench::~Bench() {
  // Modules report their removals while they go; nobody listens any more.
  listener_ = nullptr;
  modules_.clear();
}

nlohmann::json Bench::handle(const nlohmann::json& request) {
  if (!request.is_object() || !request.contains("cmd") || !request["cmd"].is_string()) {
    return errorReply("a request is an object with a \"cmd\" text");
  }
  const std::string cmd = request["cmd"];
  try {
    if (cmd == "plug") return plug(request);
    if (cmd == "unplug" || cmd == "replug") {
      VirtualModule* module = moduleById(request.value("id", ""));
      if (!module) return errorReply("no module with that id");
      if (cmd == "replug") return replug(*module, request);
      module->unplug();
      return okReply();
    }
    if (cmd == "state") return state();
    if (cmd == "ports") return ports();
    if (cmd == "fastboot-port") return fastbootPort(request);
    if (cmd == "connect") return connect(request);
    if (cmd == "disconnect") {
      connections_.close(request.value("conn", ""));
      return okReply();
    }
    if (cmd == "disconnect-instance") {
      connections_.closeInstance(request.value("instance", ""));
      return okReply();
    }
    return handlePortRequest(cmd, request);
  } catch (const nlohmann::json::exception& e) {
    return errorReply(std::string("bad request: ") + e.what());
  }
}

nlohmann::json Bench::plug(const nlohmann::json& request) {
  const PlatformProfile* profile = findProfile(request.value("platform", ""));
  if (!profile) return errorReply("unknown platform");
  if (nextNumber_ > kMaxModules) return errorReply("the bench is full");
  const int number = nextNumber_;
  ModuleIdentity identity{request.value("imei", makeImei(static_cast<unsigned>(number))),
                          request.value("meid", makeMeid(static_cast<unsigned>(number)))};
  if (identity.imei.size() != 15 || !isDigits(identity.imei)) {
    return errorReply("an IMEI is 15 digits");
  }
  if (identity.meid.size() != 14) return errorReply("a MEID is 14 characters");
  std::string portError;
  const int hubPort = choosePort(request, nullptr, portError);
  if (hubPort == 0) return errorReply(portError);
  if (request.contains("flash")) {
    identity.flashId = request.value("flash", "");
    const auto& sizes = profile->flashSizes;
    if (std::find(sizes.begin(), sizes.end(), identity.flashId) == sizes.end()) {
      return errorReply("this platform has no flash of " + identity.flashId + " MB");
    }
  }
  ModuleFaults faults;
  for (const auto& fault : request.value("faults", nlohmann::json::array())) {
    std::string error;
    if (!fault.is_string() || !addFault(fault.get<std::string>(), faults, error)) {
      return errorReply(fault.is_string() ? error : "a fault is a text");
    }
  }
  const std::string id = std::to_string(number);
  auto listener = [this, id](bool arrival) {
    if (listener_) listener_({{"event", arrival ? "arrival" : "removal"}, {"module", id}});
  };
  auto module = std::make_unique<VirtualModule>(id, *profile, identity, std::move(faults),
                                                comNumbersOf(number), listener, clock_);
  module->setHubPort(hubPort);
  std::string error;
  if (!module->plug(error)) return errorReply(error);
  const std::string portPath = module->portPath();
  modules_[number] = std::move(module);
  ++nextNumber_;
  return okReply({{"id", id}, {"port", portPath}});
}

nlohmann::json Bench::replug(VirtualModule& module, const nlohmann::json& request) {
  std::string error;
  const int hubPort =
      request.contains("port") ? choosePort(request, &module, error) : module.hubPort();
  if (hubPort == 0) return errorReply(error);
  // Out of the old port, into the new one: the module shows up there as it boots.
  module.unplug();
  module.setHubPort(hubPort);
  module.replug();
  return okReply({{"port", module.portPath()}});
}

int Bench::choosePort(const nlohmann::json& request, const VirtualModule* moving,
                      std::string& error) {
  auto taken = [&](int port) {
    for (auto& [number, module] : modules_) {
      if (module.get() != moving && module->mode() != Mode::kUnplugged &&
          module->hubPort() == port) {
        return true;
      }
    }
    return false;
  };
  if (!request.contains("port")) {
    for (int port = 1; port <= kHubPorts; ++port) {
      if (!taken(port)) return port;
    }
    error = "every hub port is taken";
    return 0;
  }
  const nlohmann::json& wanted = request["port"];
  if (!wanted.is_number_integer() || wanted.get<int64_t>() < 1 ||
      wanted.get<int64_t>() > kHubPorts) {
    error = "a hub port is a number from 1 to " + std::to_string(kHubPorts);
    return 0;
  }
  const int port = wanted.get<int>();
  if (taken(port)) {
    error = "hub port " + std::to_string(port) + " is taken";
    return 0;
  }
  return port;
}

nlohmann::json Bench::ports() {
  nlohmann::json ports = nlohmann::json::array();
  nlohmann::json usb = nlohmann::json::array();
  nlohmann::json usbDevices = nlohmann::json::array();
  for (auto& [number, module] : modules_) {
    const std::string portPath = module->portPath();
    for (const auto& port : module->ports()) {
      ports.push_back({{"com", port->com},
                       {"name", port->friendlyName},
                       {"tty", port->pty.ttyPath()},
                       {"port", portPath}});
    }
    for (const std::string& path : module->usbInterfacePaths()) {
      usb.push_back(path);
      usbDevices.push_back({{"path", path}, {"port", portPath}});
    }
  }
  return okReply({{"ports", ports}, {"usb", usb}, {"usbDevices", usbDevices}});
}

nlohmann::json Bench::fastbootPort(const nlohmann::json& request) {
  const std::string path = request.value("path", "");
  for (auto& [number, module] : modules_) {
    if (auto port = module->fastbootPortFor(path)) return okReply({{"port", *port}});
  }
  return errorReply("no fastboot device with that path");
}

nlohmann::json Bench::state() {
  nlohmann::json modules = nlohmann::json::array();
  for (auto& [number, module] : modules_) modules.push_back(module->toJson());
  return okReply({{"modules", modules}});
}

uint64_t Bench::run() {
  const uint64_t now = host::tickMs();
  uint64_t next = 0;
  for (auto& [number, module] : modules_) {
    module->tick(now);
    const uint64_t due = module->nextDueMs();
    if (due && (!next || due < next)) next = due;
  }
  return next;
}

std::vector<VirtualModule*> Bench::modules() {
  std::vector<VirtualModule*> out;
  for (auto& [number, module] : modules_) out.push_back(module.get());
  return out;
}

VirtualModule* Bench::moduleById(const std::string& id) {
  if (!isDigits(id) || id.size() > 6) return nullptr;
  auto found = modules_.find(std::stoi(id));
  return found == modules_.end() ? nullptr : found->second.get();
}

VirtualModule* Bench::moduleByCom(int com) {
  for (auto& [number, module] : modules_) {
    if (module->portByCom(com)) return module.get();
  }
  return nullptr;
}

}  // namespace sim
