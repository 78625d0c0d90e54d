// AP-only mode's switch to the bootloader: "at+bootldr\r" on the module's AT port until the
// module stops answering (it has left for its bootloader) or ten attempts are used up. A reply
// with "OK" or "ERROR" means the module stayed; any other reply means it is switching, which
// the disappearance of its diagnostic port confirms.

#include <cstring>
#include <string>

#include "host/clock.h"
#include "host/report.h"
#include "host/serial_port.h"
#include "host/stringplus.h"
#include "platform/text_format.h"
#include "station/auxiliary_tasks.h"
#include "station/download_request.h"
#include "station/slot_access.h"

namespace {

constexpr char kBootloaderCommand[] = "at+bootldr\r";
constexpr int kAttempts = 10;
constexpr int kReadSize = 255;
constexpr double kReadTimeoutSeconds = 2.0;

// How one attempt ended.
enum class Attempt { Finish, Retry };

struct Switch {
  ThreadData& slot;
  int dut;
  int port;
  int attemptsLeft = kAttempts;
  int result = 0;
};

bool modulePresent(ThreadData& slot) {
  return loadField(slot.present) != 0;
}

// Reads what the module sent within the time-out; empty when nothing came or the tty failed.
std::string readReply(int port) {
  char buffer[kReadSize + 1] = {};
  const int got = ComRd(port, buffer, kReadSize);
  if (got <= 0) return {};
  buffer[got] = '\0';
  return std::string(buffer);  // the reply is text: it ends at a NUL byte
}

// Shows a reply with its line ends as dots, so that it stays on one message line.
void showReply(int dut, const std::string& reply) {
  char withoutCr[2 * kReadSize + 1] = {};
  char shown[2 * kReadSize + 1] = {};
  strrpl(reply.c_str(), withoutCr, sizeof withoutCr, "\r", ".");
  if (withoutCr[0] != '\0') strrpl(withoutCr, shown, sizeof shown, "\n", ".");
  updateMesage(dut, formatText("Recieve: %s", shown));
}

bool openAtPort(Switch& run) {
  const int opened = OpenComConfig(run.port, nullptr, 115200, 0, 8, 1, 512, 512);
  if (opened != 0) {
    updateMesage(run.dut,
                 formatText("AT COM%d open failed, Please repower No%d DUT.", run.port, run.dut));
    updateStatus(run.dut, -1);
    run.result = opened;
    return false;
  }
  SetCTSMode(run.port, 0);
  FlushInQ(run.port);
  FlushOutQ(run.port);
  SetComTime(run.port, kReadTimeoutSeconds);
  return true;
}

// The module answered without "OK" or "ERROR": it is on its way to the bootloader. The port
// is released and the module given time to leave.
Attempt awaitDeparture(Switch& run) {
  setSlotState(run.slot, DUT_WAIT_AP);
  host::Delay(2.0);
  CloseCom(run.port);
  storeField(run.slot.atBusy, 0);
  host::Delay(8.0);
  if (!modulePresent(run.slot)) {
    updateMesage(run.dut, "at+bootldr success!");
    return Attempt::Finish;
  }
  if (--run.attemptsLeft <= 0) {
    updateMesage(run.dut, "at+bootldr success, port still exist!");
    return Attempt::Finish;
  }
  host::Delay(5.0);
  return Attempt::Retry;
}

Attempt attemptSwitch(Switch& run) {
  setSlotState(run.slot, DUT_TO_FASTBOOT);
  if (!modulePresent(run.slot) || host::stopRequested()) return Attempt::Finish;
  if (!openAtPort(run)) return Attempt::Finish;
  host::Delay(2.0);
  const std::string pending = readReply(run.port);
  if (!pending.empty()) showReply(run.dut, pending);
  updateMesage(run.dut, formatText("Send: %s", kBootloaderCommand));
  const int length = static_cast<int>(std::strlen(kBootloaderCommand));
  if (ComWrt(run.port, kBootloaderCommand, length) < length) {
    updateMesage(run.dut, formatText("at+bootldr send failed,Please repower No%d DUT", run.dut));
    updateStatus(run.dut, -1);
    return Attempt::Finish;
  }
  host::Delay(1.0);
  const std::string reply = readReply(run.port);
  if (reply.empty()) return Attempt::Finish;  // silent: the module has switched
  showReply(run.dut, reply);
  if (reply.find("ERROR") == std::string::npos && reply.find("OK") == std::string::npos) {
    return awaitDeparture(run);
  }
  if (--run.attemptsLeft <= 0) {
    updateMesage(run.dut, "at+bootldr failed!");
    return Attempt::Finish;
  }
  host::Delay(3.0);
  return Attempt::Retry;
}

int finishSwitch(Switch& run) {
  if (run.port > 0) CloseCom(run.port);
  storeField(run.slot.atBusy, 0);
  setSlotState(run.slot, DUT_WAIT_AP);
  host::Delay(5.0);
  return run.result;
}

}  // namespace

int ToFastbootThreadFunction(ThreadData* record) {
  ThreadData& slot = *record;
  const int dut = loadField(slot.slot);
  updateStatus(dut, 1);
  updateMesage(dut, "Enter ToFastbootThreadFunction.");
  if (workerDut(slot) == 0 || loadField(slot.atBusy) == 1) return -1;
  storeField(slot.atBusy, 1);
  Switch run{slot, dut, fullRequest(slot).atport};
  if (run.port == 0) {
    updateMesage(dut, "AT comport not found,try repower DUT.");
    updateStatus(dut, -1);
    storeField(slot.atBusy, 0);
    return -1;
  }
  updateMesage(dut, "wait send at to fastboot...");
  setSlotState(slot, DUT_TO_FASTBOOT);
  host::Delay(8.0);
  if (modulePresent(slot)) {
    while (attemptSwitch(run) == Attempt::Retry) {
    }
  }
  return finishSwitch(run);
}
