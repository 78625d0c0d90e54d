// What a virtual module does with the firmware it is given: the Sahara hello of its download
// port, the flash programmer (checked against the way the module entered download mode), the
// partition table, and partitions that are written as their bytes arrive.

#include "host/clock.h"
#include "sim/bench/firmware_formats.h"
#include "sim/bench/module.h"
#include "sim/bench/sha256.h"

namespace sim {
namespace {

// Programmers and partition tables are small; anything larger is not one.
constexpr uint64_t kFirmwareFileLimit = 64u << 20;

bool readSmallFile(const std::string& path, std::string& contents) {
  return readFileUpTo(path, contents, kFirmwareFileLimit);
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SaharaHello VirtualModule::saharaHello(int com, uint64_t nowMs) const {
  const ModulePort* port = nullptr;
  for (const auto& p : ports_) {
    if (p->com == com) port = p.get();
  }
  const bool downloadPort =
      port && (port->role == PortRole::kDownload || port->role == PortRole::kEdl);
  if (!profile_.saharaDownload || !downloadPort) return {false, 0, "no Sahara hello on this port"};
  // Once the programmer runs the port speaks the programmer's protocol, not Sahara.
  if (programmerRunning_) return {false, 0, "the flash programmer already runs"};
  if (faults_.saharaSilent) return {false, 0, "no Sahara hello"};
  if (nowMs < downloadPortSinceMs_ + faults_.saharaSlowMs) return {false, 0, "no Sahara hello yet"};
  return {true, faults_.saharaVersion0 ? 0u : 2u, ""};
}

bool VirtualModule::acceptProgrammer(const std::string& path, std::string& error) {
  if (downloadEntry_ == DownloadEntry::kNone) {
    error = "the module is not in download mode";
    return false;
  }
  if (programmerRunning_) {
    error = "a flash programmer already runs";
    return false;
  }
  std::string contents;
  if (!readSmallFile(path, contents)) {
    error = "cannot read the programmer " + path;
    return false;
  }
  const ProgrammerCheck check = checkProgrammer(contents);
  if (!check.valid) {
    error = "the programmer " + fileNameOf(path) + " is damaged";
    return false;
  }
  const std::string& wanted = downloadEntry_ == DownloadEntry::kSwitch
                                  ? profile_.switchProgrammer
                                  : profile_.emergencyProgrammer;
  if (check.platform != profile_.name || (!wanted.empty() && check.kind != wanted)) {
    error = "the " + check.kind + " programmer of " + check.platform + " does not run here";
    return false;
  }
  recordCommand("sahara", "programmer " + fileNameOf(path));
  programmerRunning_ = true;
  programmerName_ = fileNameOf(path);
  programmerSha256_ = sha256Hex(contents);
  return true;
}

bool VirtualModule::acceptPartitionTable(const std::string& path, std::string& error) {
  std::string contents;
  if (!readSmallFile(path, contents) || contents.empty()) {
    error = "cannot read the partition table " + path;
    return false;
  }
  if (!profile_.partitions.empty()) {
    auto names = readPartitionTable(contents);
    if (!names) {
      error = fileNameOf(path) + " is not a partition table";
      return false;
    }
    partitionTable_ = *names;
  }
  partitions_["partition"] = {contents.size(), sha256Hex(contents), "streaming", true};
  return true;
}

bool VirtualModule::beginPartition(const std::string& name, const std::string& via,
                                   std::string& error) {
  const std::string key = partitionKey(name);
  if (!profile_.partitions.empty() && !partitionTable_.count(key)) {
    error = "the partition table has no partition " + key;
    return false;
  }
  partitions_[key] = {0, sha256Hex("", 0), via, false};
  return true;
}

bool VirtualModule::reportTransfer(
    const std::string& stage, uint64_t done, uint64_t total,
    const std::optional<std::pair<std::string, PartitionRecord>>& written) {
  if (mode_ == Mode::kUnplugged || ports_.empty()) return false;
  // The bytes that arrived are in the flash already, whatever happens next.
  if (written) {
    PartitionRecord record = written->second;
    record.complete = false;
    partitions_[partitionKey(written->first)] = record;
  }
  if (UnplugFault* fault = dueUnplug(faults_, stage, done, total)) {
    fault->spent = true;
    recordCommand("bench", "unplugged during " + stage);
    unplug();
    return false;
  }
  return true;
}

void VirtualModule::recordPartition(const std::string& name, PartitionRecord record) {
  record.complete = true;
  partitions_[partitionKey(name)] = std::move(record);
}

bool VirtualModule::bootChainComplete() const {
  for (const std::string& name : profile_.bootChain) {
    auto found = partitions_.find(name);
    // A partition never written holds the module's factory image.
    if (found != partitions_.end() && (!found->second.complete || found->second.size == 0)) {
      return false;
    }
  }
  return true;
}

}  // namespace sim
