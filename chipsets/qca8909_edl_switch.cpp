// Switching a Qca8909 module into emergency download mode: through the diagnostic library on
// an open connection, or with "at+bootedl" on its AT port; and the wait for its QDLoader 9008
// port.

#include <algorithm>
#include <cstring>
#include <string>

#include "chipsets/qca8909.h"
#include "chipsets/qca8909_steps.h"
#include "host/report.h"
#include "host/serial_port.h"
#include "platform/text_format.h"

namespace {

constexpr char kSwitchFailed[] = "SwitchToEDL failed, Please repower %d DUT.";
constexpr char kEdlCommand[] = "at+bootedl\r";
constexpr int kAtTries = 10;
constexpr long kBaudRate = 115200;
constexpr int kQueueSize = 512;
constexpr int kReplySize = 256;

// The slot's AT port as port discovery keeps it, else the request's.
int atPortOf(const DownloadRequest& request) {
  const int dut = request.slot;
  const ThreadData* slot = dut >= 1 && dut <= kSlotCount ? &gThreadData[dut - 1] : nullptr;
  const int port = slot ? loadField(slot->atport) : 0;
  return port != 0 ? port : request.atport;
}

// What arrived on the port within its time-out, up to 256 bytes.
std::string readReply(int port) {
  char buffer[kReplySize + 1] = {};
  const int got = ComRd(port, buffer, kReplySize);
  return std::string(buffer, static_cast<size_t>(std::clamp(got, 0, kReplySize)));
}

std::string withLineEndsAsDots(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '.');
  std::replace(text.begin(), text.end(), '\n', '.');
  return text;
}

enum class TryResult { Switched, Failed, SendFailed, Stopped };

// One try on the open port: drain what the module said, send the command, read its answer.
// An answer that is neither "OK" nor "ERROR" (the module restarts before it answers) is the
// switch.
TryResult tryOnce(int port, int dut) {
  SetCTSMode(port, 0);
  FlushInQ(port);
  FlushOutQ(port);
  SetComTime(port, 2.0);
  if (!host::Delay(2.0)) return TryResult::Stopped;
  const std::string before = readReply(port);
  if (!before.empty()) updateMesage(dut, "Recieve: " + withLineEndsAsDots(before));
  updateMesage(dut, formatText("Send: %s", kEdlCommand));
  const int length = static_cast<int>(std::strlen(kEdlCommand));
  if (ComWrt(port, kEdlCommand, length) < length) return TryResult::SendFailed;
  if (!host::Delay(1.0)) return TryResult::Stopped;
  const std::string reply = readReply(port);
  if (reply.empty() || reply.find("ERROR") != std::string::npos ||
      reply.find("OK") != std::string::npos) {
    return TryResult::Failed;
  }
  return TryResult::Switched;
}

int openAtPort(int port) {
  return OpenComConfig(port, nullptr, kBaudRate, host::kParityNone, 8, 1, kQueueSize, kQueueSize);
}

}  // namespace

int ATSwitchToEDL(const DownloadRequest& request) {
  const int dut = request.slot;
  const int port = atPortOf(request);
  if (!host::Delay(2.0)) return 0;
  bool opened = false;
  int result = 0;
  for (int attempt = 1; attempt <= kAtTries; ++attempt) {
    // A port that is already open is configured anew.
    if (const int open = openAtPort(port); open != 0) {
      updateMesage(dut, formatText("AT COM%d open failed, Please repower No%d DUT.", port, dut));
      updateStatus(dut, -1);
      result = open < 0 ? open : -1;
      break;
    }
    opened = true;
    const TryResult tried = tryOnce(port, dut);
    if (tried == TryResult::Switched) {
      result = host::Delay(2.0) ? 1 : 0;
      break;
    }
    if (tried == TryResult::SendFailed) {
      updateMesage(dut, formatText("at+bootedl send failed,Please repower No%d DUT", dut));
      updateStatus(dut, -1);
      break;
    }
    if (tried == TryResult::Stopped) break;
    if (attempt == kAtTries) {
      updateMesage(dut, "at+bootedl failed!");
      break;
    }
    if (!host::Delay(3.0)) break;
  }
  if (opened) {
    CloseCom(port);
    host::Delay(5.0);
  }
  return result;
}

bool switchToEdlThroughLibrary(CpRun& run) {
  bool switched = false;
  for (int attempt = 0; attempt < 5 && !switched; ++attempt) {
    switched = fn_QLIB_QPHONEMS_SwitchToEDL(run.diag) != 0;
    if (!switched && !cpWait(0.5)) break;
  }
  // The connection goes with the module's port, whatever the answer.
  const bool settled = cpWait(1.5);
  fn_QLIB_DisconnectServer(run.diag);
  run.diagOpen = false;
  if (!settled) return false;
  if (!switched) {
    run.say(formatText(kSwitchFailed, run.dut));
    return false;
  }
  return cpWait(8.0);
}

bool switchToEdlThroughAtPort(CpRun& run) {
  for (int attempt = 0; attempt < 5 && atPortOf(run.request) == 0; ++attempt) {
    run.say("Waiting AT Port...");
    if (!cpWait(2.0)) return false;
  }
  if (atPortOf(run.request) == 0) {
    run.say(formatText("No AT port,SwitchToEDL failed, Please repower %d DUT.", run.dut));
    return false;
  }
  if (ATSwitchToEDL(run.request) == 1) return true;
  if (!host::stopRequested()) run.say(formatText(kSwitchFailed, run.dut));
  return false;
}

bool waitForEmergencyPort(CpRun& run) {
  for (int attempt = 0; attempt < 10 && run.slotValue(&ThreadData::present9008) != 1; ++attempt) {
    run.say("Waiting Qloader9008 Port...");
    if (!cpWait(2.0)) return false;
  }
  if (run.slotValue(&ThreadData::ql9008port) == 0) {
    run.say(formatText("Not find QDloader9008 or ql9008Port=0, Please repower %d DUT.", run.dut));
  }
  return true;
}
