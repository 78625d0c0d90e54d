// What the diagnostic library and the outside tools ask of a virtual module.

#include "host/clock.h"
#include "sim/bench/module.h"
#include "sim/bench/module_timing.h"

namespace sim {
namespace {

using namespace timing;

// Phone states of the phone-status query.
constexpr unsigned kStatusNone = 0;
constexpr unsigned kStatusDownload = 2;
constexpr unsigned kStatusDiagnostic = 3;
constexpr unsigned kStatusDiagnosticOffline = 4;
constexpr unsigned kStatusStreamDownload = 6;

}  // namespace

bool VirtualModule::phoneConnected(int com) {
  ModulePort* port = portByCom(com);
  return mode_ == Mode::kNormal && port && port->role == PortRole::kDiag;
}

unsigned VirtualModule::qpstPhoneStatus(int com) {
  ModulePort* port = portByCom(com);
  if (!port) return kStatusNone;
  switch (port->role) {
    case PortRole::kDiag:
      return operatingMode_ == 5 ? kStatusDiagnostic : kStatusDiagnosticOffline;
    case PortRole::kDownload:
      return programmerRunning_ ? kStatusStreamDownload : kStatusDownload;
    case PortRole::kEdl:
      return kStatusDownload;
    default:
      return kStatusNone;
  }
}

bool VirtualModule::switchToDownload() {
  if (mode_ != Mode::kNormal || faults_.switchRefused) return false;
  recordCommand("diag", "switch to download mode");
  restartInto(Mode::kDownload, kDownloadBootSeconds, Restart::kFromDiag, !faults_.noDownloadPort);
  return true;
}

bool VirtualModule::switchToEdl() {
  if (mode_ != Mode::kNormal || faults_.switchRefused) return false;
  recordCommand("diag", "switch to EDL");
  restartInto(Mode::kEdl, kDownloadBootSeconds, Restart::kFromDiag, !faults_.noDownloadPort);
  return true;
}

bool VirtualModule::control(int mode) {
  if (mode_ != Mode::kNormal) return false;
  switch (mode) {
    case 1:
      recordCommand("diag", "mode offline");
      operatingMode_ = 3;
      return true;
    case 2:
      recordCommand("diag", "mode reset");
      restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromDiag);
      return true;
    case 4:
      operatingMode_ = readNv(kNvFtmModeItem).value_or(std::vector<uint8_t>{0}).at(0) ? 1 : 5;
      return true;
    default:
      return false;
  }
}

std::optional<std::vector<uint8_t>> VirtualModule::readNv(uint16_t item) const {
  auto found = nv_.find(item);
  if (found == nv_.end()) return std::nullopt;
  return found->second;
}

void VirtualModule::writeNv(uint16_t item, std::vector<uint8_t> value) {
  recordCommand("diag", "nv write " + std::to_string(item));
  nv_[item] = std::move(value);
}

void VirtualModule::restoreNv(NvItems items) {
  recordCommand("diag", "nv restore " + std::to_string(items.size()) + " items");
  nv_ = std::move(items);
}

bool VirtualModule::downloadNop(int com) {
  ModulePort* port = portByCom(com);
  return port && port->role == PortRole::kDownload;
}

bool VirtualModule::downloadReset(int com) {
  ModulePort* port = portByCom(com);
  if (!port) return false;
  if (port->role == PortRole::kDiag && mode_ == Mode::kNormal) {
    recordCommand("diag", "download reset");
    restartInto(Mode::kDownload, kDownloadBootSeconds, Restart::kFromDiag, !faults_.noDownloadPort);
    return true;
  }
  if (port->role == PortRole::kDownload) {
    restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromDiag);
    return true;
  }
  return false;
}

void VirtualModule::finishModemDownload() {
  recordCommand("diag", "modem download finished");
  if (profile_.fastbootAfterCp) {
    restartInto(Mode::kFastboot, kFastbootBootSeconds, Restart::kFromDiag, !faults_.noFastboot);
  } else {
    restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromDiag);
  }
}

void VirtualModule::setCefsBackup(const std::string& path, uint64_t size) {
  recordCommand("diag", "EFS image read");
  cefsBackupPath_ = path;
  cefsBackupSize_ = size;
}

}  // namespace sim
