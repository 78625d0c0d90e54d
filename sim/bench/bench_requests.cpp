// Requests of the simulated library and tools about the module behind a COM number.

#include <fstream>
#include <sstream>

#include "host/clock.h"
#include "sim/bench/bench.h"
#include "sim/bench/firmware_formats.h"

namespace sim {
namespace {

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return static_cast<bool>(file.flush());
}

// A backup made to the size the qcn-size fault asks for: padded with blanks or cut short.
std::string sizedBackup(std::string contents, const ModuleFaults& faults) {
  if (faults.qcnSize) contents.resize(*faults.qcnSize, ' ');
  return contents;
}

// NV item bytes as JSON numbers.
nlohmann::json bytesJson(const std::vector<uint8_t>& data) {
  nlohmann::json out = nlohmann::json::array();
  for (uint8_t b : data) out.push_back(b);
  return out;
}

bool bytesFromJson(const nlohmann::json& value, std::vector<uint8_t>& data) {
  if (!value.is_array() || value.size() > kNvItemMaxSize) return false;
  data.clear();
  for (const auto& b : value) {
    if (!b.is_number_integer() || b.get<int64_t>() < 0 || b.get<int64_t>() > 255) return false;
    data.push_back(static_cast<uint8_t>(b.get<int64_t>()));
  }
  return true;
}

constexpr uint64_t kBackupFileLimit = 64u << 20;

// Writing a whole backup into the module needs the service programming code: sent on the
// connection in direct mode, with the module in FTM mode, or given with the call through the
// phone server. The operator's own requests (without a connection) need nothing.
bool mayRestore(const VirtualModule& module, const LibraryConnection* connection,
                const nlohmann::json& request, std::string& error) {
  if (!connection) return true;
  if (connection->shared) {
    if (module.acceptsSpc(request.value("spc", ""))) return true;
    error = "the SPC was refused";
    return false;
  }
  if (!connection->spcAccepted) {
    error = "no SPC was accepted on this connection";
    return false;
  }
  if (module.operatingMode() != 1) {
    error = "the phone is not in FTM mode";
    return false;
  }
  return true;
}

// What a partition being written holds so far, when a transfer report says it.
std::optional<std::pair<std::string, PartitionRecord>> writtenSoFar(const nlohmann::json& request) {
  if (!request.contains("partition")) return std::nullopt;
  return std::make_pair(
      request.value("partition", ""),
      PartitionRecord{request.value("written", uint64_t{0}), request.value("sha256", ""),
                      request.value("via", "streaming"), false});
}

}  // namespace

nlohmann::json Bench::connect(const nlohmann::json& request) {
  const int com = request.value("com", 0);
  VirtualModule* module = moduleByCom(com);
  if (!module) return errorReply("no port COM" + std::to_string(com));
  const ModulePort* port = module->portByCom(com);
  if (port->role == PortRole::kAt) return errorReply("an AT port is no diagnostic port");
  LibraryConnection connection;
  connection.id = request.value("conn", "");
  connection.moduleId = module->id();
  connection.com = com;
  connection.shared = request.value("shared", false);
  connection.plugCount = module->plugCount();
  connection.bootCount = module->bootCount();
  if (connection.id.empty()) return errorReply("a connection needs a name");
  std::string error;
  if (!connections_.open(connection, error)) return errorReply(error);
  return okReply({{"role", roleText(port->role)}, {"mode", modeText(module->mode())}});
}

bool Bench::resolveConnection(const std::string& cmd, const nlohmann::json& request,
                              VirtualModule*& module, LibraryConnection*& connection,
                              nlohmann::json& error) {
  connection = connections_.find(request.value("conn", ""));
  if (!connection) {
    error = errorReply("not connected");
    return false;
  }
  module = moduleById(connection->moduleId);
  if (!module || module->plugCount() != connection->plugCount) {
    error = errorReply("the phone was unplugged");
    return false;
  }
  // A module that restarts answers nothing, even while its old port is still listed.
  if (!module->portByCom(connection->com) || module->mode() == Mode::kRebooting) {
    error = errorReply("COM" + std::to_string(connection->com) + " is gone");
    return false;
  }
  if (module->bootCount() != connection->bootCount) {
    if (cmd != "phone") {
      error = errorReply("the phone restarted since this connection last asked for it");
      return false;
    }
    connection->bootCount = module->bootCount();
    connection->spcAccepted = false;
  }
  return true;
}

nlohmann::json Bench::saharaConnect(VirtualModule& module, int com, const nlohmann::json& request) {
  const SaharaHello hello = module.saharaHello(com, host::tickMs());
  if (!hello.answered) return errorReply(hello.error);
  // The library's Sahara connection owns the port like any other of its connections.
  if (request.contains("open")) {
    LibraryConnection connection;
    connection.id = request.value("open", "");
    connection.moduleId = module.id();
    connection.com = com;
    connection.plugCount = module.plugCount();
    connection.bootCount = module.bootCount();
    std::string error;
    if (connection.id.empty() || !connections_.open(connection, error)) {
      return errorReply(error.empty() ? "a connection needs a name" : error);
    }
  }
  return okReply({{"version", hello.version},
                  {"serial", std::stoul(module.imei().substr(7)) & 0xFFFFFFFFu},
                  {"msmId", module.profile().msmId}});
}

nlohmann::json Bench::handlePortRequest(const std::string& cmd, const nlohmann::json& request) {
  VirtualModule* found = nullptr;
  LibraryConnection* connection = nullptr;
  int com = 0;
  if (request.contains("conn")) {
    nlohmann::json error;
    if (!resolveConnection(cmd, request, found, connection, error)) return error;
    com = connection->com;
  } else {
    if (!request.contains("com") || !request["com"].is_number_integer()) {
      return errorReply("unknown request '" + cmd + "'");
    }
    com = request["com"];
    found = moduleByCom(com);
    if (!found) return errorReply("no port COM" + std::to_string(com));
  }
  VirtualModule& module = *found;
  ModulePort* port = module.portByCom(com);

  if (cmd == "port") {
    return okReply({{"module", module.id()},
                    {"platform", module.profile().name},
                    {"role", roleText(port->role)},
                    {"mode", modeText(module.mode())}});
  }
  if (cmd == "faults") {
    const ModuleFaults& faults = module.faults();
    return okReply({{"toolHang", faults.toolHang},
                    {"saharaFail", faults.saharaFail},
                    {"firehoseError", faults.firehoseError},
                    {"firehoseHang", faults.firehoseHang}});
  }
  if (cmd == "phone") return okReply({{"connected", module.phoneConnected(com)}});
  if (cmd == "phone-status") return okReply({{"status", module.qpstPhoneStatus(com)}});
  if (cmd == "switch-download") {
    return module.switchToDownload() ? okReply() : errorReply("switch refused");
  }
  if (cmd == "switch-edl") return module.switchToEdl() ? okReply() : errorReply("switch refused");
  if (cmd == "control") {
    return module.control(request.value("mode", 0)) ? okReply() : errorReply("refused");
  }
  if (cmd == "dload-nop") return module.downloadNop(com) ? okReply() : errorReply("no answer");
  if (cmd == "dload-reset") {
    return module.downloadReset(com) ? okReply() : errorReply("no answer");
  }
  if (cmd == "version") {
    if (!module.phoneConnected(com)) return errorReply("phone not connected");
    return okReply({{"revision", module.profile().revision},
                    {"msmId", module.profile().msmId},
                    {"platform", module.profile().name}});
  }
  if (cmd == "operating-mode") {
    if (!module.phoneConnected(com)) return errorReply("phone not connected");
    return okReply({{"mode", module.operatingMode()}});
  }
  if (cmd.rfind("nv-", 0) == 0 || cmd.rfind("qcn-", 0) == 0 || cmd == "spc" ||
      cmd == "cefs-backup") {
    return handleNv(cmd, module, com, connection, request);
  }
  if (cmd == "sahara-connect") return saharaConnect(module, com, request);
  return handleStreaming(cmd, module, com, request);
}

nlohmann::json Bench::handleNv(const std::string& cmd, VirtualModule& module, int com,
                               LibraryConnection* connection, const nlohmann::json& request) {
  if (!module.phoneConnected(com)) return errorReply("phone not connected");
  if (cmd == "nv-read") {
    auto value = module.readNv(static_cast<uint16_t>(request.value("item", 0u)));
    if (!value) return errorReply("item not active");
    return okReply({{"data", bytesJson(*value)}});
  }
  if (cmd == "nv-write") {
    std::vector<uint8_t> data;
    if (!bytesFromJson(request.value("data", nlohmann::json()), data)) {
      return errorReply("item data must be up to 128 bytes");
    }
    module.writeNv(static_cast<uint16_t>(request.value("item", 0u)), std::move(data));
    return okReply();
  }
  if (cmd == "spc") {
    const bool accepted = module.acceptsSpc(request.value("spc", ""));
    if (connection) connection->spcAccepted = accepted;
    return okReply({{"accepted", accepted}});
  }
  const std::string path = request.value("path", "");
  if (path.empty()) return errorReply("no file path");
  if (cmd == "qcn-backup") {
    const QcnForm form = request.value("form", "qcn") == "xqcn" ? QcnForm::kXqcn : QcnForm::kQcn;
    module.recordCommand("diag", "nv backup");
    const std::string contents =
        sizedBackup(encodeQcn(module.nvItems(), module.imei(), form), module.faults());
    if (!writeFile(path, contents)) return errorReply("cannot write " + path);
    return okReply({{"size", contents.size()}, {"items", module.nvItems().size()}});
  }
  if (cmd == "cefs-backup") {
    const std::string contents = encodeEfsImage(module.nvItems());
    if (!writeFile(path, contents)) return errorReply("cannot write " + path);
    module.setCefsBackup(path, contents.size());
    return okReply({{"size", contents.size()}});
  }
  if (cmd == "qcn-check" || cmd == "qcn-restore")
    return restoreQcn(cmd, module, connection, request);
  return errorReply("unknown request '" + cmd + "'");
}

// "qcn-check" reads a backup file (and, with "write", asks whether the module would take it
// now); "qcn-restore" writes its items into the module.
nlohmann::json Bench::restoreQcn(const std::string& cmd, VirtualModule& module,
                                 LibraryConnection* connection, const nlohmann::json& request) {
  const std::string path = request.value("path", "");
  const bool writes = cmd == "qcn-restore" || request.value("write", false);
  std::string error;
  if (writes && !mayRestore(module, connection, request, error)) return errorReply(error);
  std::string contents, imei;
  NvItems items;
  if (!readFileUpTo(path, contents, kBackupFileLimit)) return errorReply("cannot read " + path);
  if (!decodeQcn(contents, items, imei, error)) return errorReply(error);
  const size_t count = items.size();
  if (cmd == "qcn-restore") module.restoreNv(std::move(items));
  return okReply({{"items", count}, {"imei", imei}});
}

nlohmann::json Bench::handleStreaming(const std::string& cmd, VirtualModule& module, int com,
                                      const nlohmann::json& request) {
  std::string error;
  if (cmd == "transfer") {
    const bool present =
        module.reportTransfer(request.value("stage", "cp"), request.value("done", uint64_t{0}),
                              request.value("total", uint64_t{0}), writtenSoFar(request));
    return present ? okReply() : errorReply("the module is gone");
  }
  if (cmd == "sahara-programmer") {
    if (!module.saharaHello(com, host::tickMs()).answered) {
      return errorReply("no Sahara session on this port");
    }
    if (module.faults().saharaFail) return errorReply("the target refused the image");
    if (!module.acceptProgrammer(request.value("path", ""), error)) return errorReply(error);
    return okReply();
  }
  ModulePort* port = module.portByCom(com);
  const bool downloadPort = port->role == PortRole::kDownload || port->role == PortRole::kEdl;
  if (cmd == "stream-begin") {
    if (!downloadPort) return errorReply("the port is not in download mode");
    // A programmer handed to the streaming download itself is the older hex programmer.
    const std::string programmer = request.value("programmer", "");
    if (!programmer.empty() && !module.acceptProgrammer(programmer, error)) {
      return errorReply(error);
    }
    if (!module.programmerRunning()) return errorReply("no flash programmer running");
    const std::string table = request.value("table", "");
    if (!table.empty() && !module.acceptPartitionTable(table, error)) return errorReply(error);
    // A rewritten partition table leaves an empty EFS behind.
    if (request.value("override", false)) module.nvItems() = makeFactoryItems();
    module.recordCommand("diag", "streaming download");
    return okReply({{"announce", !module.faults().streamQuiet}});
  }
  if (cmd == "partition-begin" || cmd == "partition") {
    if (!downloadPort || !module.programmerRunning()) {
      return errorReply("no flash programmer running");
    }
    const std::string name = request.value("name", "");
    const std::string via = request.value("via", "streaming");
    if (cmd == "partition-begin") {
      if (module.faults().multiImageFail && via == "multi-image") {
        return errorReply("the flash programmer refused the image");
      }
      return module.beginPartition(name, via, error) ? okReply() : errorReply(error);
    }
    module.recordPartition(
        name, {request.value("size", uint64_t{0}), request.value("sha256", ""), via, true});
    return okReply();
  }
  if (cmd == "stream-end") {
    if (!downloadPort) return errorReply("the port is not in download mode");
    module.finishModemDownload();
    return okReply();
  }
  if (cmd == "reset") {
    const std::string firmware = request.value("firmware", "");
    module.recordCommand("firehose", firmware.empty() ? "reset" : "reset into " + firmware);
    module.restartNormal();
    return okReply();
  }
  return errorReply("unknown request '" + cmd + "'");
}

}  // namespace sim
