#include "sim/bench/module.h"

#include <algorithm>

#include "host/clock.h"
#include "host/device_directory.h"
#include "host/udev_device_directory.h"
#include "sim/bench/module_timing.h"
#include "sim/fastboot_device/tcp_device.h"

namespace sim {

using namespace timing;

const char* modeText(Mode mode) {
  switch (mode) {
    case Mode::kNormal:
      return "normal";
    case Mode::kDownload:
      return "download";
    case Mode::kEdl:
      return "edl";
    case Mode::kFastboot:
      return "fastboot";
    case Mode::kRebooting:
      return "rebooting";
    case Mode::kUnplugged:
      return "unplugged";
  }
  return "unknown";
}

const char* roleText(PortRole role) {
  switch (role) {
    case PortRole::kDiag:
      return "diag";
    case PortRole::kAt:
      return "at";
    case PortRole::kDownload:
      return "download";
    case PortRole::kEdl:
      return "edl";
  }
  return "unknown";
}

std::string benchInstance(const std::string& id) {
  return "bench-" + id;
}

std::string benchPortPath(int port) {
  return "1-" + std::to_string(port);
}

VirtualModule::VirtualModule(std::string id, const PlatformProfile& profile,
                             ModuleIdentity identity, ModuleFaults faults, ComNumbers coms,
                             ChangeListener listener, ModuleClock& clock)
    : id_(std::move(id)),
      profile_(profile),
      clock_(clock),
      faults_(std::move(faults)),
      coms_(coms),
      listener_(std::move(listener)),
      normalProductId_(profile.normalProductId) {
  at_.imei = identity.imei;
  at_.meid = identity.meid;
  at_.revision = profile.revision;
  if (profile.apRevision) at_.apRevision = profile.apRevision;
  at_.flashId = identity.flashId.empty() ? profile.flashId : identity.flashId;
  at_.productId = normalProductId_;
  nv_ = makeCalibratedItems(identity.imei);
  at_.nvItems = &nv_;
  partitionTable_.insert(profile.partitions.begin(), profile.partitions.end());
}

VirtualModule::~VirtualModule() {
  listener_ = nullptr;
  removeEverything();
}

bool VirtualModule::plug(std::string& error) {
  removeEverything();
  restartPending_ = false;
  enterMode(Mode::kNormal);
  if (ports_.empty()) {
    error = "the module's ports could not be made";
    return false;
  }
  return true;
}

void VirtualModule::unplug() {
  restartPending_ = false;
  removeEverything();
  mode_ = Mode::kUnplugged;
  ++plugCount_;
}

void VirtualModule::replug() {
  unplug();
  restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kImmediate);
}

// ---- Restarts ----

void VirtualModule::restartInto(Mode target, double bootSeconds, Restart how, bool appears) {
  const uint64_t now = host::tickMs();
  switch (how) {
    case Restart::kFromAt:
      vanishAtMs_ = clock_.after(now, kAtRestartDelaySeconds, kAtRestartDelayFloorMs);
      break;
    case Restart::kFromDiag:
      vanishAtMs_ = clock_.vanishAfterSwitch(now);
      break;
    case Restart::kImmediate:
      removeEverything();
      vanishAtMs_ = 0;
      break;
  }
  mode_ = Mode::kRebooting;
  restartTarget_ = target;
  restartPending_ = appears;
  appearAtMs_ = clock_.after(std::max(now, vanishAtMs_), bootSeconds);
}

void VirtualModule::restartNormal() {
  restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromDiag);
}

void VirtualModule::tick(uint64_t nowMs) {
  sendDueAtOutput(nowMs);
  if (efsBackupDoneAtMs_ && nowMs >= efsBackupDoneAtMs_) {
    efsBackupDoneAtMs_ = 0;
    finishEfsBackup();
  }
  if (fastboot_) watchFastboot();
  if (vanishAtMs_ && nowMs >= vanishAtMs_) {
    vanishAtMs_ = 0;
    removeEverything();
  }
  if (mode_ == Mode::kRebooting && restartPending_ && !vanishAtMs_ && nowMs >= appearAtMs_) {
    restartPending_ = false;
    enterMode(restartTarget_);
  }
}

uint64_t VirtualModule::nextDueMs() const {
  uint64_t due = 0;
  auto consider = [&](uint64_t at) {
    if (at && (!due || at < due)) due = at;
  };
  consider(efsBackupDoneAtMs_);
  if (!atOutput_.empty()) consider(std::max<uint64_t>(atOutput_.begin()->first, 1));
  consider(vanishAtMs_);
  if (restartPending_) consider(appearAtMs_);
  if (fastboot_) consider(host::tickMs() + kFastbootWatchMs);
  return due;
}

void VirtualModule::finishEfsBackup() {
  if (at_.efsBackup != EfsBackupState::kRunning) return;
  if (faults_.efsBackupFail) {
    faults_.efsBackupFail = false;
    recordCommand("bench", "EFS backup lost");
    at_.efsBackup = EfsBackupState::kNone;
  } else {
    at_.efsBackup = EfsBackupState::kDone;
  }
  if (profile_.restartAfterEfsBackup) {
    restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromAt);
  }
}

// ---- Ports ----

bool VirtualModule::addPort(PortRole role, int com, uint16_t productId, int interfaceNumber) {
  auto port = std::make_unique<ModulePort>();
  port->role = role;
  port->com = com;
  std::string error;
  if (!port->pty.open(error)) return false;
  std::string name = host::usbPortRoleName(kQualcommVendorId, productId, interfaceNumber);
  port->friendlyName = name + " (COM" + std::to_string(com) + ")";
  ports_.push_back(std::move(port));
  return true;
}

void VirtualModule::enterMode(Mode target) {
  // Booting (into the system or the boot loader) needs the whole boot chain.
  if ((target == Mode::kNormal || target == Mode::kFastboot) && !bootChainComplete()) {
    target = Mode::kEdl;
  }
  mode_ = target;
  ++bootCount_;
  programmerRunning_ = false;
  downloadEntry_ = target == Mode::kDownload ? DownloadEntry::kSwitch
                   : target == Mode::kEdl    ? DownloadEntry::kEmergency
                                             : DownloadEntry::kNone;
  downloadPortSinceMs_ = host::tickMs();
  bool ok = true;
  switch (target) {
    case Mode::kNormal:
      at_.productId = normalProductId_;
      operatingMode_ = readNv(kNvFtmModeItem).value_or(std::vector<uint8_t>{0}).at(0) ? 1 : 5;
      ok = addPort(PortRole::kDiag, coms_.diag, normalProductId_, profile_.diagInterface) &&
           addPort(PortRole::kAt, coms_.at, normalProductId_, profile_.atInterface);
      if (ok) startAtPort(host::tickMs());
      break;
    case Mode::kDownload:
      ok = addPort(PortRole::kDownload, profile_.downloadKeepsDiagCom ? coms_.diag : coms_.download,
                   profile_.downloadProductId, 0);
      break;
    case Mode::kEdl:
      ok = addPort(PortRole::kEdl, coms_.edl, kEdlProductId, 0);
      break;
    case Mode::kFastboot:
      ok = startFastboot();
      break;
    default:
      return;
  }
  if (!ok) {
    removeEverything();
    mode_ = Mode::kRebooting;  // a module whose ports cannot be made stays dark
    return;
  }
  if (listener_) listener_(true);
}

void VirtualModule::removeEverything() {
  const bool hadSomething = !ports_.empty() || fastboot_;
  if (fastboot_) endFastboot();
  ports_.clear();
  atOutput_.clear();
  programmerRunning_ = false;
  if (hadSomething && listener_) listener_(false);
}

ModulePort* VirtualModule::portByCom(int com) {
  for (auto& port : ports_) {
    if (port->com == com) return port.get();
  }
  return nullptr;
}

std::vector<std::string> VirtualModule::usbInterfacePaths() const {
  if (!fastboot_) return {};
  return {host::usbInterfacePath(0x18D1, 0xD00D, benchInstance(id_))};
}

std::optional<uint16_t> VirtualModule::fastbootPortFor(const std::string& path) const {
  if (!fastboot_) return std::nullopt;
  const std::string mine = host::usbInterfacePath(0x18D1, 0xD00D, benchInstance(id_));
  if (path.size() != mine.size() ||
      !std::equal(path.begin(), path.end(), mine.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      })) {
    return std::nullopt;
  }
  return fastboot_->port();
}

void VirtualModule::recordCommand(const std::string& via, const std::string& text) {
  commands_.emplace_back(via, text);
}

}  // namespace sim
