#include "sim/fastboot_device/device_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace sim {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::string okay(const std::string& text = "") {
  return "OKAY" + text;
}
std::string fail(const std::string& text) {
  return "FAIL" + text;
}

// "download:" followed by exactly eight hexadecimal digits.
bool parseDownloadSize(const std::string& command, uint64_t& size) {
  std::string digits = command.substr(9);
  if (digits.size() != 8) return false;
  size = 0;
  for (char c : digits) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (v < 0) return false;
    size = size * 16 + static_cast<uint64_t>(v);
  }
  return true;
}

}  // namespace

FastbootDeviceModel::Output FastbootDeviceModel::onMessage(const uint8_t* data, size_t length) {
  std::lock_guard lock(mutex_);
  if (pulled_) return Output{{}, true};
  if (inDataPhase_) return receiveData(data, length);
  std::string command(reinterpret_cast<const char*>(data), length);
  commands_.push_back(command);
  commandArrived_.notify_all();
  return handleCommand(command);
}

void FastbootDeviceModel::onDisconnect() {
  std::lock_guard lock(mutex_);
  inDataPhase_ = false;
  dataLeft_ = 0;
}

FastbootDeviceModel::Output FastbootDeviceModel::handleCommand(const std::string& command) {
  auto found = faults_.find(command);
  const Fault* fault = found == faults_.end() ? nullptr : &found->second;
  if (startsWith(command, "download:") && fault && !fault->fail && !fault->raw && !fault->silent &&
      !fault->disconnect) {
    return startDownload(command, fault);
  }
  if (!fault) return normalReply(command);

  Output out;
  for (const std::string& line : fault->info) out.packets.push_back("INFO" + line);
  if (fault->disconnect) {
    out.disconnect = true;
  } else if (fault->silent) {
    // Nothing: the host waits.
  } else if (fault->raw) {
    out.packets.push_back(*fault->raw);
  } else if (fault->fail) {
    out.packets.push_back(fail(*fault->fail));
  } else {
    Output normal = normalReply(command);
    out.packets.insert(out.packets.end(), normal.packets.begin(), normal.packets.end());
    out.disconnect = normal.disconnect;
  }
  return out;
}

FastbootDeviceModel::Output FastbootDeviceModel::normalReply(const std::string& command) {
  Output out;
  if (auto info = infoLines_.find(command); info != infoLines_.end()) {
    for (const std::string& line : info->second) out.packets.push_back("INFO" + line);
  }
  auto reply = [&](std::string packet) {
    out.packets.push_back(std::move(packet));
    return out;
  };
  if (command.size() > kMaxPacket) return reply(fail("command too long"));
  if (startsWith(command, "getvar:")) {
    auto value = variables_.find(command.substr(7));
    if (value == variables_.end()) return reply(fail("unknown variable"));
    return reply(okay(value->second));
  }
  if (startsWith(command, "download:")) {
    Output started = startDownload(command, nullptr);
    out.packets.insert(out.packets.end(), started.packets.begin(), started.packets.end());
    return out;
  }
  bool append = startsWith(command, "flashC:");
  if (startsWith(command, "flash:") || append) {
    if (!haveDownload_) return reply(fail("no image downloaded"));
    std::vector<uint8_t>& target = partitions_[command.substr(command.find(':') + 1)];
    if (!append) target.clear();
    target.insert(target.end(), download_.begin(), download_.end());
    download_.clear();
    haveDownload_ = false;
    return reply(okay());
  }
  if (startsWith(command, "erase:")) {
    partitions_[command.substr(6)].clear();
    return reply(okay());
  }
  if (command == "reboot") {
    ++reboots_;
    out.packets.push_back(okay());
    out.disconnect = true;
    return out;
  }
  return reply(fail("unknown command"));
}

FastbootDeviceModel::Output FastbootDeviceModel::startDownload(const std::string& command,
                                                               const Fault* fault) {
  Output out;
  if (fault) {
    for (const std::string& line : fault->info) out.packets.push_back("INFO" + line);
  }
  uint64_t size = 0;
  if (!parseDownloadSize(command, size)) {
    out.packets.push_back(fail("invalid download size"));
    return out;
  }
  if (size > maxDownloadSize_) {
    out.packets.push_back(fail("data too large"));
    return out;
  }
  uint64_t announced = fault && fault->dataSize ? *fault->dataSize : size;
  char packet[32];
  std::snprintf(packet, sizeof packet, "DATA%08llx", static_cast<unsigned long long>(announced));
  out.packets.push_back(packet);
  download_.clear();
  haveDownload_ = false;
  failAfterData_ = fault ? fault->failAfterData : std::nullopt;
  dataLeft_ = announced;
  inDataPhase_ = true;
  if (pullPercent_ && !pullAtBytes_) {
    pullAtBytes_ = dataBytes_ + (announced * static_cast<uint64_t>(*pullPercent_) + 99) / 100;
  }
  if (announced == 0) {
    Output done = receiveData(nullptr, 0);
    out.packets.insert(out.packets.end(), done.packets.begin(), done.packets.end());
  }
  return out;
}

FastbootDeviceModel::Output FastbootDeviceModel::receiveData(const uint8_t* data, size_t length) {
  Output out;
  if (length > 0) {
    if (storeData_) dataMessageSizes_.push_back(length);
    size_t take = static_cast<size_t>(std::min<uint64_t>(length, dataLeft_));
    const bool pullNow = pullAtBytes_ && dataBytes_ + take >= *pullAtBytes_;
    if (pullNow) take = static_cast<size_t>(*pullAtBytes_ - dataBytes_);
    if (storeData_) download_.insert(download_.end(), data, data + take);
    dataBytes_ += take;
    dataLeft_ -= take;
    if (pullNow) {
      pulled_ = true;
      inDataPhase_ = false;
      return Output{{}, true};
    }
  }
  if (dataLeft_ > 0) return out;
  inDataPhase_ = false;
  haveDownload_ = true;
  out.packets.push_back(failAfterData_ ? fail(*failAfterData_) : okay());
  failAfterData_.reset();
  return out;
}

void FastbootDeviceModel::setPullDuringFirstDownload(int percent) {
  std::lock_guard lock(mutex_);
  pullPercent_ = percent;
}

void FastbootDeviceModel::setVariable(const std::string& name, const std::string& value) {
  std::lock_guard lock(mutex_);
  variables_[name] = value;
}

void FastbootDeviceModel::setFault(const std::string& command, Fault fault) {
  std::lock_guard lock(mutex_);
  faults_[command] = std::move(fault);
}

void FastbootDeviceModel::clearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

void FastbootDeviceModel::setInfoLines(const std::string& command, std::vector<std::string> lines) {
  std::lock_guard lock(mutex_);
  infoLines_[command] = std::move(lines);
}

void FastbootDeviceModel::setMaxDownloadSize(uint64_t size) {
  std::lock_guard lock(mutex_);
  maxDownloadSize_ = size;
}

void FastbootDeviceModel::setStoreData(bool store) {
  std::lock_guard lock(mutex_);
  storeData_ = store;
}

std::map<std::string, std::vector<uint8_t>> FastbootDeviceModel::partitions() const {
  std::lock_guard lock(mutex_);
  return partitions_;
}

std::optional<std::vector<uint8_t>> FastbootDeviceModel::partition(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto found = partitions_.find(name);
  if (found == partitions_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> FastbootDeviceModel::commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

uint64_t FastbootDeviceModel::dataBytesReceived() const {
  std::lock_guard lock(mutex_);
  return dataBytes_;
}

std::vector<size_t> FastbootDeviceModel::dataMessageSizes() const {
  std::lock_guard lock(mutex_);
  return dataMessageSizes_;
}

int FastbootDeviceModel::rebootCount() const {
  std::lock_guard lock(mutex_);
  return reboots_;
}

bool FastbootDeviceModel::waitForCommands(size_t count) const {
  std::unique_lock lock(mutex_);
  return commandArrived_.wait_for(lock, std::chrono::minutes(1),
                                  [&] { return commands_.size() >= count; });
}

}  // namespace sim
