// Requests of the simulated library and tools about the module behind a COM number.

#include <fstream>
#include <sstream>

#include "sim/bench/bench.h"

namespace sim {
namespace {

bool readFile(const std::string& path, std::string& contents, uint64_t limit) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  contents = buffer.str();
  return contents.size() <= limit;
}

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

}  // namespace

nlohmann::json Bench::handlePortRequest(const std::string& cmd, const nlohmann::json& request) {
  if (!request.contains("com") || !request["com"].is_number_integer()) {
    return errorReply("unknown request '" + cmd + "'");
  }
  const int com = request["com"];
  VirtualModule* found = moduleByCom(com);
  if (!found) return errorReply("no port COM" + std::to_string(com));
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
                    {"firehoseError", faults.firehoseError}});
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
    return handleNv(cmd, module, com, request);
  }
  return handleStreaming(cmd, module, com, request);
}

nlohmann::json Bench::handleNv(const std::string& cmd, VirtualModule& module, int com,
                               const nlohmann::json& request) {
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
  if (cmd == "spc") return okReply({{"accepted", module.acceptsSpc(request.value("spc", ""))}});
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
  if (cmd == "qcn-check" || cmd == "qcn-restore") {
    std::string contents, imei, error;
    NvItems items;
    if (!readFile(path, contents, kBackupFileLimit)) return errorReply("cannot read " + path);
    if (!decodeQcn(contents, items, imei, error)) return errorReply(error);
    const size_t count = items.size();
    if (cmd == "qcn-restore") module.restoreNv(std::move(items));
    return okReply({{"items", count}, {"imei", imei}});
  }
  return errorReply("unknown request '" + cmd + "'");
}

nlohmann::json Bench::handleStreaming(const std::string& cmd, VirtualModule& module, int com,
                                      const nlohmann::json& request) {
  if (cmd == "transfer") {
    const bool present =
        module.reportTransfer(request.value("stage", "cp"), request.value("done", uint64_t{0}),
                              request.value("total", uint64_t{0}));
    return present ? okReply() : errorReply("the module is gone");
  }
  if (cmd == "sahara-connect") {
    if (!module.saharaReady(com)) return errorReply("no Sahara hello on this port");
    return okReply({{"version", 2},
                    {"serial", std::stoul(module.imei().substr(7)) & 0xFFFFFFFFu},
                    {"msmId", module.profile().msmId}});
  }
  if (cmd == "sahara-programmer") {
    if (!module.saharaReady(com)) return errorReply("no Sahara session on this port");
    if (module.faults().saharaFail) return errorReply("the target refused the image");
    module.setProgrammer(request.value("name", ""), request.value("sha256", ""));
    return okReply();
  }
  ModulePort* port = module.portByCom(com);
  const bool downloadPort = port->role == PortRole::kDownload || port->role == PortRole::kEdl;
  if (cmd == "stream-begin") {
    if (!downloadPort) return errorReply("the port is not in download mode");
    // A programmer handed to the streaming download itself is the older hex programmer.
    if (!request.value("programmer", "").empty()) {
      module.setProgrammer(request.value("programmer", ""), request.value("sha256", ""));
    }
    if (!module.programmerRunning()) return errorReply("no flash programmer running");
    // A rewritten partition table leaves an empty EFS behind.
    if (request.value("override", false)) module.nvItems() = makeFactoryItems();
    module.recordCommand("diag", "streaming download");
    return okReply({{"announce", !module.faults().streamQuiet}});
  }
  if (cmd == "partition") {
    if (!downloadPort || !module.programmerRunning()) {
      return errorReply("no flash programmer running");
    }
    module.recordPartition(request.value("name", ""),
                           {request.value("size", uint64_t{0}), request.value("sha256", ""),
                            request.value("via", "streaming")});
    return okReply();
  }
  if (cmd == "stream-end") {
    if (!downloadPort) return errorReply("the port is not in download mode");
    module.finishModemDownload();
    return okReply();
  }
  if (cmd == "reset") {
    module.recordCommand("firehose", "reset");
    module.restartNormal();
    return okReply();
  }
  return errorReply("unknown request '" + cmd + "'");
}

}  // namespace sim
