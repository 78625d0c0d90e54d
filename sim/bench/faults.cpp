#include "sim/bench/faults.h"

#include <cctype>

namespace sim {
namespace {

// A decimal number of at most `maxDigits` digits.
bool parseNumber(const std::string& text, size_t maxDigits, uint64_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool addUnplug(const std::string& arguments, ModuleFaults& faults, std::string& error) {
  UnplugFault fault;
  const size_t colon = arguments.find(':');
  fault.stage = arguments.substr(0, colon);
  if (fault.stage != "cp" && fault.stage != "ap" && fault.stage != "tp") {
    error = "unplug stage must be cp, ap or tp";
    return false;
  }
  if (colon != std::string::npos) {
    uint64_t percent = 0;
    if (!parseNumber(arguments.substr(colon + 1), 3, percent) || percent > 100) {
      error = "unplug percentage must be 0 to 100";
      return false;
    }
    fault.percent = static_cast<int>(percent);
  }
  faults.unplug.push_back(fault);
  return true;
}

}  // namespace

bool addFault(const std::string& fault, ModuleFaults& faults, std::string& error) {
  const size_t colon = fault.find(':');
  const std::string name = fault.substr(0, colon);
  const std::string arguments = colon == std::string::npos ? "" : fault.substr(colon + 1);
  const bool hasArguments = colon != std::string::npos;
  bool* flag = nullptr;
  if (name == "at-silent") flag = &faults.atSilent;
  if (name == "at-error") flag = &faults.atError;
  if (name == "switch-refused") flag = &faults.switchRefused;
  if (name == "no-download-port") flag = &faults.noDownloadPort;
  if (name == "no-fastboot") flag = &faults.noFastboot;
  if (name == "sahara-fail") flag = &faults.saharaFail;
  if (name == "efs-backup-fail") flag = &faults.efsBackupFail;
  if (name == "sahara-silent") flag = &faults.saharaSilent;
  if (name == "sahara-version0") flag = &faults.saharaVersion0;
  if (name == "stream-quiet") flag = &faults.streamQuiet;
  if (name == "firehose-error") flag = &faults.firehoseError;
  if (name == "tool-hang") flag = &faults.toolHang;
  if (name == "firehose-hang") flag = &faults.firehoseHang;
  if (name == "multi-image-fail") flag = &faults.multiImageFail;
  if (flag) {
    if (hasArguments) {
      error = "fault '" + name + "' takes no argument";
      return false;
    }
    *flag = true;
  } else if (name == "fastboot-fail") {
    if (arguments.empty() || arguments.size() > 32) {
      error = "fastboot-fail needs a partition name";
      return false;
    }
    faults.fastbootFail.insert(arguments);
  } else if (name == "unplug") {
    if (!addUnplug(arguments, faults, error)) return false;
  } else if (name == "sahara-slow") {
    if (!parseNumber(arguments, 7, faults.saharaSlowMs)) {
      error = "sahara-slow needs a delay in milliseconds";
      return false;
    }
  } else if (name == "qcn-size") {
    uint64_t size = 0;
    if (!parseNumber(arguments, 10, size)) {
      error = "qcn-size needs a byte count";
      return false;
    }
    faults.qcnSize = size;
  } else {
    error = "unknown fault '" + fault + "'";
    return false;
  }
  faults.given.push_back(fault);
  return true;
}

UnplugFault* dueUnplug(ModuleFaults& faults, const std::string& stage, uint64_t done,
                       uint64_t total) {
  for (UnplugFault& fault : faults.unplug) {
    if (fault.spent || fault.stage != stage) continue;
    // done/total >= percent/100, without overflow for any realistic size.
    const bool reached = total == 0 ? true
                                    : static_cast<long double>(done) * 100 >=
                                          static_cast<long double>(total) * fault.percent;
    if (reached) return &fault;
  }
  return nullptr;
}

}  // namespace sim
