#include "sim/bench/at_responder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {
namespace {

std::string upper(const std::string& text) {
  std::string out = text;
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

bool allDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string ok(const std::string& body = "") {
  return body.empty() ? "\r\nOK\r\n" : "\r\n" + body + "\r\n\r\nOK\r\n";
}
const char kError[] = "\r\nERROR\r\n";

// "AT+CNVW=ITEM,INDEX,\"HEX\"": writes one NV item.
bool writeNvItem(const std::string& arguments, AtState& state) {
  unsigned item = 0, index = 0;
  char hex[2 * kNvItemMaxSize + 1] = {};
  if (std::sscanf(arguments.c_str(), "%u,%u,\"%256[0-9A-Fa-f]\"", &item, &index, hex) != 3) {
    return false;
  }
  const std::string digits = hex;
  if (item > 0xFFFF || digits.empty() || digits.size() % 2 != 0 || !state.nvItems) return false;
  std::vector<uint8_t> data;
  for (size_t i = 0; i < digits.size(); i += 2) {
    data.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  (*state.nvItems)[static_cast<uint16_t>(item)] = std::move(data);
  return true;
}

AtOutcome answer(const std::string& command, AtState& state, const ModuleFaults& faults) {
  const std::string key = upper(command);
  char productText[8];
  std::snprintf(productText, sizeof productText, "%04X", state.productId);

  if (key == "AT") return {ok()};
  if (key == "AT+CFUN?") return {ok("+CFUN: " + std::to_string(state.cfun))};
  if (key == "AT+CFUN=1") {
    state.cfun = 1;
    return {ok()};
  }
  if (key == "AT+SIMEI?") return {ok("+SIMEI: " + state.imei)};
  if (key == "AT+SMEID?") return {ok("+SMEID: " + state.meid)};
  if (key.rfind("AT+SIMEI=", 0) == 0) {
    const std::string value = command.substr(9);
    if (value.size() != 15 || !allDigits(value)) return {kError};
    state.imei = value;
    return {ok()};
  }
  if (key.rfind("AT+SMEID=", 0) == 0) {
    const std::string value = command.substr(9);
    if (value.size() != 14) return {kError};
    state.meid = value;
    return {ok()};
  }
  if (key == "AT+CBACKUPEFS2" || key == "AT+BACKUPEFS") {
    state.efsBackup = EfsBackupState::kRunning;
    return {ok(), AtAction::kStartEfsBackup};
  }
  if (key == "AT+BACKUPEFS?") {
    const char* progress = state.efsBackup == EfsBackupState::kDone      ? "1,2"
                           : state.efsBackup == EfsBackupState::kRunning ? "1,1"
                                                                         : "0,0";
    return {ok(std::string("+BACKUPEFS: ") + progress)};
  }
  if (key == "AT+CDEVICE?") return {ok("+CDEVICE: Flash Device: " + state.flashId)};
  if (key == "AT+CGMR") return {ok(state.revision)};
  if (key == "AT+ORVANEATI") {
    return {
        ok("+ORVANEATI: APRev:" + (state.apRevision.empty() ? state.revision : state.apRevision))};
  }
  if (key.rfind("AT+CNVW=", 0) == 0) {
    return {writeNvItem(command.substr(8), state) ? ok() : kError};
  }
  if (key == "AT+CUSBPIDSWITCH?") return {ok(std::string("+CUSBPIDSWITCH: ") + productText)};
  if (key == "AT+CUSBPIDSWITCH=9011,1,1") return {ok(), AtAction::kSwitchTo9011};
  if (key == "AT+CUSBADB=1") {
    state.adbEnabled = true;
    return {ok()};
  }
  if (key == "AT+CRESET") return {ok(), AtAction::kRestart};
  // The boot-loader commands are only echoed: the module restarts before it could say OK.
  if (key == "AT+BOOTLDR") return {"", AtAction::kRestartToFastboot};
  if (key == "AT+BOOTEDL") {
    if (faults.switchRefused) return {kError};
    return {"", AtAction::kRestartToEdl};
  }
  return {kError};
}

}  // namespace

const char* efsBackupText(EfsBackupState state) {
  switch (state) {
    case EfsBackupState::kRunning:
      return "running";
    case EfsBackupState::kDone:
      return "done";
    default:
      return "none";
  }
}

AtOutcome answerAtCommand(const std::string& line, AtState& state, const ModuleFaults& faults) {
  std::string command = line;
  while (!command.empty() && (command.front() == '\n' || command.front() == ' ')) {
    command.erase(command.begin());
  }
  if (faults.atSilent) return {};
  if (command.empty()) return {};
  const std::string echo = command + "\r";
  if (faults.atError) return {echo + kError};
  AtOutcome outcome = answer(command, state, faults);
  outcome.reply = echo + outcome.reply;
  return outcome;
}

}  // namespace sim
