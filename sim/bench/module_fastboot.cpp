// The fastboot loader of a virtual module: a TCP fastboot device that lives while the module
// is in fastboot mode. The module follows its commands, pulls the plug when an unplug fault of
// the AP stage is due, and keeps the partitions it was given when the session ends.

#include <cstdio>
#include <stdexcept>

#include "host/clock.h"
#include "sim/bench/module.h"
#include "sim/bench/module_timing.h"
#include "sim/bench/sha256.h"
#include "sim/fastboot_device/tcp_device.h"

namespace sim {

bool VirtualModule::startFastboot() {
  try {
    fastboot_ = std::make_unique<TcpFastbootDevice>();
  } catch (const std::exception&) {
    return false;
  }
  FastbootDeviceModel& model = fastboot_->model();
  model.setVariable("product", profile_.name);
  model.setVariable("serialno", benchInstance(id_));
  model.setVariable("version", "0.5");
  model.setVariable("secure", "no");
  for (const std::string& partition : faults_.fastbootFail) {
    FastbootDeviceModel::Fault fault;
    fault.fail = "flash write failure";
    model.setFault("flash:" + partition, fault);
    model.setFault("flashC:" + partition, fault);
  }
  // The loader itself stops taking data at the fault's percentage, so a fast transfer cannot
  // finish between two bench turns; the next turn then pulls the module.
  for (const UnplugFault& fault : faults_.unplug) {
    if (fault.spent || fault.stage != "ap") continue;
    model.setPullDuringFirstDownload(fault.percent);
    break;
  }
  fastbootCommandsSeen_ = 0;
  apDownloadSize_.reset();
  apDownloadStartBytes_ = 0;
  return true;
}

void VirtualModule::watchFastboot() {
  FastbootDeviceModel& model = fastboot_->model();
  const std::vector<std::string> commands = model.commands();
  uint64_t announcedBefore = 0;
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::string& command = commands[i];
    unsigned size = 0;
    const bool isDownload = std::sscanf(command.c_str(), "download:%8x", &size) == 1;
    if (i >= fastbootCommandsSeen_) {
      recordCommand("fastboot", command);
      if (isDownload && !apDownloadSize_) {
        apDownloadSize_ = size;
        apDownloadStartBytes_ = announcedBefore;
      }
    }
    if (isDownload) announcedBefore += size;
  }
  fastbootCommandsSeen_ = commands.size();
  checkApUnplug();
  if (!fastboot_) return;  // pulled
  if (model.rebootCount() > 0) {
    restartInto(Mode::kNormal, timing::kNormalBootSeconds, Restart::kImmediate);
  }
}

void VirtualModule::checkApUnplug() {
  bool armed = false;
  for (const UnplugFault& fault : faults_.unplug) armed |= !fault.spent && fault.stage == "ap";
  if (!armed || !apDownloadSize_) return;
  const uint64_t received = fastboot_->model().dataBytesReceived();
  const uint64_t done = received > apDownloadStartBytes_ ? received - apDownloadStartBytes_ : 0;
  if (UnplugFault* fault =
          dueUnplug(faults_, "ap", std::min(done, *apDownloadSize_), *apDownloadSize_)) {
    fault->spent = true;
    recordCommand("bench", "unplugged during ap");
    unplug();
  }
}

void VirtualModule::endFastboot() {
  std::unique_ptr<TcpFastbootDevice> device = std::move(fastboot_);
  for (const auto& [name, bytes] : device->model().partitions()) {
    // An erased partition holds nothing; a flashed one its whole image.
    PartitionRecord record{bytes.size(), sha256Hex(bytes.data(), bytes.size()), "fastboot",
                           !bytes.empty()};
    partitions_[name] = record;
    // The EFS partition holds the NV items: an image read from a module brings them back,
    // anything else leaves the defaults of an empty EFS.
    if (name == "efs2") {
      NvItems items;
      const std::string contents(bytes.begin(), bytes.end());
      nv_ = decodeEfsImage(contents, items) ? items : makeFactoryItems();
    }
  }
  device.reset();
}

}  // namespace sim
