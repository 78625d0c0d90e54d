// The state report of a virtual module, as `zendral-bench state` prints it.

#include <nlohmann/json.hpp>

#include "sim/bench/module.h"
#include "sim/fastboot_device/tcp_device.h"

namespace sim {

nlohmann::json VirtualModule::toJson() const {
  nlohmann::json out;
  out["id"] = id_;
  out["platform"] = profile_.name;
  out["mode"] = modeText(mode_);
  out["port"] = portPath();
  out["imei"] = at_.imei;
  out["meid"] = at_.meid;
  out["flash"] = at_.flashId;
  char product[8];
  std::snprintf(product, sizeof product, "%04X", normalProductId_);
  out["usbProduct"] = product;
  out["ports"] = nlohmann::json::array();
  for (const auto& port : ports_) {
    out["ports"].push_back({{"com", port->com},
                            {"name", port->friendlyName},
                            {"tty", port->pty.ttyPath()},
                            {"role", roleText(port->role)}});
  }
  out["usb"] = usbInterfacePaths();
  if (fastboot_) out["fastbootTcpPort"] = fastboot_->port();
  out["partitions"] = nlohmann::json::array();
  for (const auto& [name, record] : partitions_) {
    out["partitions"].push_back({{"name", name},
                                 {"size", record.size},
                                 {"sha256", record.sha256},
                                 {"via", record.via},
                                 {"complete", record.complete}});
  }
  out["nvSha256"] = nvDigest(nv_);
  out["nvItems"] = nv_.size();
  out["efsBackup"] = efsBackupText(at_.efsBackup);
  if (!cefsBackupPath_.empty()) {
    out["efsImage"] = {{"path", cefsBackupPath_}, {"size", cefsBackupSize_}};
  }
  out["adb"] = at_.adbEnabled;
  out["cfun"] = at_.cfun;
  out["operatingMode"] = operatingMode_;
  out["bootChainComplete"] = bootChainComplete();
  if (!programmerName_.empty()) {
    out["programmer"] = {{"name", programmerName_}, {"sha256", programmerSha256_}};
  }
  out["commands"] = nlohmann::json::array();
  for (const auto& [via, text] : commands_)
    out["commands"].push_back({{"via", via}, {"text", text}});
  out["faults"] = faults_.given;
  return out;
}

}  // namespace sim
