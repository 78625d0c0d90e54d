// The AT switch to fastboot against a module's AT port on a pseudo terminal that answers "OK",
// stays silent, echoes, floods or vanishes: the attempts made, the texts shown and where the
// slot is left. Every case ends; none hangs.

#include <algorithm>
#include <thread>

#include "host/serial_port.h"
#include "slots_fixture.h"
#include "station/auxiliary_tasks.h"
#include "station/slot_access.h"
#include "support/pty_peer.h"

namespace slotstest {
namespace {

using test_support::PtyPeer;

constexpr char kCommand[] = "at+bootldr\r";

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class AtSwitchTest : public SlotsTest {
 protected:
  void connect(PtyPeer& peer) {
    directory_.addSerialPort(atName(9), peer.ttyPath(), 0, false);
    slot().slot = 1;
    slot().atport = 9;
    slot().present = 1;
  }
  int runSwitch() {
    const int result = ToFastbootThreadFunction(&slot());
    CloseCom(9);
    return result;
  }
  // Ends the module's presence once it has received `count` commands, as a module that leaves
  // for its bootloader does.
  std::thread leaveAfter(PtyPeer& peer, int count) {
    return std::thread([this, &peer, count] {
      while (occurrences(peer.received(), kCommand) < count) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      storeField(slot().present, 0);
    });
  }
  void expectEndedWaitingForFastboot() {
    EXPECT_EQ(state(), DUT_WAIT_AP);
    EXPECT_EQ(slot().atBusy, 0);
  }
};

TEST_F(AtSwitchTest, OkRepliesAreRefusalsRetriedTenTimes) {
  PtyPeer peer(PtyPeer::Behaviour::AnswerOk);
  connect(peer);
  EXPECT_EQ(runSwitch(), 0);
  EXPECT_EQ(occurrences(peer.received(), kCommand), 10);
  EXPECT_TRUE(surface_.hasMessage("Send: at+bootldr\r")) << "the message carries the CR";
  EXPECT_TRUE(surface_.hasMessage("Recieve: ..OK.."));
  EXPECT_EQ(surface_.messages().back(), "at+bootldr failed!");
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, SilenceMeansTheModuleSwitched) {
  PtyPeer peer(PtyPeer::Behaviour::Silent);
  connect(peer);
  EXPECT_EQ(runSwitch(), 0);
  EXPECT_EQ(occurrences(peer.received(), kCommand), 1);
  const auto messages = surface_.messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.rfind("Recieve", 0) == 0; }),
            0);
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, OtherReplyThenTheModuleLeavingIsSuccess) {
  PtyPeer peer(PtyPeer::Behaviour::Echo);
  connect(peer);
  std::thread module = leaveAfter(peer, 1);
  EXPECT_EQ(runSwitch(), 0);
  module.join();
  EXPECT_TRUE(surface_.hasMessage("Recieve: at+bootldr."));
  EXPECT_EQ(surface_.messages().back(), "at+bootldr success!");
  EXPECT_EQ(occurrences(peer.received(), kCommand), 1);
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, ModuleThatAnswersButStaysEndsAfterTenAttempts) {
  PtyPeer peer(PtyPeer::Behaviour::Echo);
  connect(peer);
  EXPECT_EQ(runSwitch(), 0);
  EXPECT_EQ(occurrences(peer.received(), kCommand), 10);
  EXPECT_EQ(surface_.messages().back(), "at+bootldr success, port still exist!");
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, FloodingPeerEndsWithinTheAttempts) {
  PtyPeer peer(PtyPeer::Behaviour::Flood);
  connect(peer);
  EXPECT_EQ(runSwitch(), 0);
  EXPECT_LE(occurrences(peer.received(), kCommand), 10);
  EXPECT_TRUE(surface_.hasMessage("Recieve: " + std::string(255, 'x')));
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, ModuleGoneBeforeTheFirstAttemptSendsNothing) {
  PtyPeer peer(PtyPeer::Behaviour::AnswerOk);
  connect(peer);
  slot().present = 0;
  EXPECT_EQ(runSwitch(), 0);
  EXPECT_EQ(peer.received(), "");
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, PortThatCannotBeOpenedIsReportedWithItsNumber) {
  directory_.addSerialPort(atName(9), dir_.string() + "/no-such-tty", 0, false);
  slot().slot = 1;
  slot().atport = 9;
  slot().present = 1;
  EXPECT_LT(runSwitch(), 0);
  EXPECT_TRUE(surface_.hasMessage("AT COM9 open failed, Please repower No1 DUT."));
  EXPECT_EQ(surface_.statuses().back(), -1);
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, TtyVanishingDuringTheSwitchEndsIt) {
  PtyPeer peer(PtyPeer::Behaviour::AnswerOk);
  connect(peer);
  std::thread unplug([&] {
    while (occurrences(peer.received(), kCommand) < 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    peer.vanish();
  });
  runSwitch();
  unplug.join();
  EXPECT_LT(occurrences(peer.received(), kCommand), 10);
  expectEndedWaitingForFastboot();
}

TEST_F(AtSwitchTest, SecondSwitchOnTheSameSlotIsRefused) {
  slot().slot = 1;
  slot().atport = 9;
  slot().atBusy = 1;
  EXPECT_EQ(ToFastbootThreadFunction(&slot()), -1);
  EXPECT_EQ(slot().atBusy, 1) << "the running switch keeps its flag";
  EXPECT_EQ(state(), DUT_IDLE);
}

}  // namespace
}  // namespace slotstest
