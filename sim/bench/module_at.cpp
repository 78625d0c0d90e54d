// The AT port of a virtual module, as a real one behaves: after boot it prints "RDY", then
// "+CFUN: 1" when its radio comes on and "+CPIN: READY", at moments that vary; until the radio
// is on "AT+CFUN?" answers 0. Commands are echoed and a reply may come in several pieces, all
// within a fraction of the station's read window.

#include <algorithm>

#include "host/clock.h"
#include "sim/bench/module.h"
#include "sim/bench/module_timing.h"

namespace sim {

using namespace timing;

void VirtualModule::startAtPort(uint64_t nowMs) {
  atOutput_.clear();
  at_.cfun = 0;
  radioOnAtMs_ = clock_.after(nowMs, kRadioOffSeconds);
  if (faults_.atSilent) return;
  atOutput_.emplace(clock_.between(nowMs, kReadyLineMinSeconds, kReadyLineMaxSeconds),
                    AtOutput{"\r\nRDY\r\n", true});
  atOutput_.emplace(radioOnAtMs_, AtOutput{"\r\n+CFUN: 1\r\n", true});
  atOutput_.emplace(clock_.between(radioOnAtMs_, 0.05, 0.3),
                    AtOutput{"\r\n+CPIN: READY\r\n", true});
}

void VirtualModule::sendDueAtOutput(uint64_t nowMs) {
  if (radioOnAtMs_ && nowMs >= radioOnAtMs_) {
    radioOnAtMs_ = 0;
    at_.cfun = 1;
  }
  while (!atOutput_.empty() && atOutput_.begin()->first <= nowMs) {
    for (auto& port : ports_) {
      if (port->role == PortRole::kAt) port->pty.write(atOutput_.begin()->second.bytes);
    }
    atOutput_.erase(atOutput_.begin());
  }
}

// The reply goes out in one to three pieces after what an earlier reply still has to say;
// unsolicited lines due meanwhile wait until the whole reply is out, as a module never prints
// them inside a reply.
void VirtualModule::sendAtReply(const std::string& reply, uint64_t nowMs) {
  const size_t pieces = std::min<size_t>(reply.size(), 1 + clock_.pick(3));
  std::vector<size_t> cuts = {0};
  for (size_t i = 1; i < pieces; ++i) cuts.push_back(1 + clock_.pick(reply.size() - 1));
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(reply.size());
  std::multimap<uint64_t, AtOutput> queued;
  uint64_t due = nowMs;
  for (auto& [at, output] : atOutput_) {
    if (!output.unsolicited) due = std::max(due, at);
  }
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    if (i > 0) due = clock_.between(due, 0.0, kReplyPieceGapSeconds);
    if (cuts[i + 1] > cuts[i]) {
      queued.emplace(due, AtOutput{reply.substr(cuts[i], cuts[i + 1] - cuts[i]), false});
    }
  }
  for (auto& [at, output] : atOutput_) {
    queued.emplace(output.unsolicited ? std::max(at, due + 1) : at, std::move(output));
  }
  atOutput_ = std::move(queued);
  sendDueAtOutput(nowMs);
}

void VirtualModule::onPortInput(ModulePort& port) {
  const std::string bytes = port.pty.readAvailable();
  if (port.role != PortRole::kAt) return;  // the diagnostic ports are driven by the library
  port.input += bytes;
  // A station that never ends its line cannot make the bench hold unbounded input.
  if (port.input.size() > 4096) port.input.erase(0, port.input.size() - 4096);
  size_t end;
  while ((end = port.input.find('\r')) != std::string::npos) {
    const std::string line = port.input.substr(0, end);
    port.input.erase(0, end + 1);
    handleAtLine(line);
  }
}

void VirtualModule::handleAtLine(const std::string& line) {
  std::string command = line;
  while (!command.empty() && (command.front() == '\n' || command.front() == ' ')) {
    command.erase(command.begin());
  }
  if (command.empty()) return;
  recordCommand("at", command);
  AtOutcome outcome = answerAtCommand(command, at_, faults_);
  // The station may switch the radio on itself before the module does.
  if (at_.cfun == 1) radioOnAtMs_ = 0;
  if (!outcome.reply.empty()) sendAtReply(outcome.reply, host::tickMs());
  carryOut(outcome.action);
}

void VirtualModule::carryOut(AtAction action) {
  switch (action) {
    case AtAction::kNone:
      break;
    case AtAction::kRestart:
      restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromAt);
      break;
    case AtAction::kRestartToFastboot:
      restartInto(Mode::kFastboot, kFastbootBootSeconds, Restart::kFromAt, !faults_.noFastboot);
      break;
    case AtAction::kRestartToEdl:
      restartInto(Mode::kEdl, kDownloadBootSeconds, Restart::kFromAt, !faults_.noDownloadPort);
      break;
    case AtAction::kSwitchTo9011:
      normalProductId_ = kSwitchedProductId;
      restartInto(Mode::kNormal, kNormalBootSeconds, Restart::kFromAt);
      break;
    case AtAction::kStartEfsBackup:
      efsBackupDoneAtMs_ = clock_.after(host::tickMs(), kEfsBackupSeconds);
      break;
  }
}

}  // namespace sim
