#pragma once
// The virtual bench: the modules plugged into it and the answers to every request of the
// control protocol. Each request and reply is one JSON object ({"cmd": ..., ...} and
// {"ok": true, ...} or {"ok": false, "error": "..."}). The requests come from three sides:
//   the operator (zendral-bench): plug, unplug, replug, state (a module sits on a hub port:
//     plug and replug take "port", else the lowest free one)
//   the station's bench backends: ports, fastboot-port
//   the simulated library and tools, about the module behind a COM number: port, phone, ...
// The library's requests name their connection ("conn"): the bench holds the library's
// connections itself (connect, disconnect, disconnect-instance) and answers a request on a
// connection only while its module is there to answer it (connections.h). Sockets are not the
// bench's business (control_server.h); the bench is used by one thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/bench/connections.h"
#include "sim/bench/module.h"
#include "sim/bench/module_timing.h"

namespace sim {

class Bench {
 public:
  // Called with every device event: {"event": "arrival"|"removal", "module": id}.
  using EventListener = std::function<void(const nlohmann::json& event)>;

  explicit Bench(EventListener listener = nullptr, TimingMode timing = TimingMode::kTest);
  ~Bench();

  nlohmann::json handle(const nlohmann::json& request);

  // Runs due restarts and watches; returns the next tickMs() at which run() wants to be called
  // (0: nothing pending).
  uint64_t run();

  std::vector<VirtualModule*> modules();
  VirtualModule* moduleById(const std::string& id);
  // The module with a present port of this COM number.
  VirtualModule* moduleByCom(int com);

 private:
  nlohmann::json plug(const nlohmann::json& request);
  nlohmann::json replug(VirtualModule& module, const nlohmann::json& request);
  // The hub port a plug or replug asks for ("port", 1 ... kHubPorts), or the lowest one no
  // other plugged module uses; 0 with `error` when it is taken or out of range.
  int choosePort(const nlohmann::json& request, const VirtualModule* moving, std::string& error);
  nlohmann::json ports();
  nlohmann::json fastbootPort(const nlohmann::json& request);
  nlohmann::json state();
  // Requests about the module behind a COM number (bench_requests.cpp).
  nlohmann::json handlePortRequest(const std::string& cmd, const nlohmann::json& request);
  nlohmann::json connect(const nlohmann::json& request);
  nlohmann::json saharaConnect(VirtualModule& module, int com, const nlohmann::json& request);
  // The connection a request names, checked: false with `error` when the connection's module
  // was unplugged, its port is away, or the module restarted and the library has not asked
  // for the phone since (which `cmd` "phone" does).
  bool resolveConnection(const std::string& cmd, const nlohmann::json& request,
                         VirtualModule*& module, LibraryConnection*& connection,
                         nlohmann::json& error);
  nlohmann::json handleStreaming(const std::string& cmd, VirtualModule& module, int com,
                                 const nlohmann::json& request);
  nlohmann::json handleNv(const std::string& cmd, VirtualModule& module, int com,
                          LibraryConnection* connection, const nlohmann::json& request);
  nlohmann::json restoreQcn(const std::string& cmd, VirtualModule& module,
                            LibraryConnection* connection, const nlohmann::json& request);

  EventListener listener_;
  ModuleClock clock_;
  ConnectionTable connections_;
  std::map<int, std::unique_ptr<VirtualModule>> modules_;  // by number
  int nextNumber_ = 1;
};

// Reply helpers.
nlohmann::json okReply(nlohmann::json fields = nlohmann::json::object());
nlohmann::json errorReply(const std::string& text);

// Makes a valid IMEI (15 digits, Luhn check digit) / MEID (14 hex characters) from a number.
std::string makeImei(unsigned number);
std::string makeMeid(unsigned number);

}  // namespace sim
