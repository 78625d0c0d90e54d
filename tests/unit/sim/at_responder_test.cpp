#include "sim/bench/at_responder.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

class AtResponder : public ::testing::Test {
 protected:
  AtResponder() {
    state.imei = "860000000000017";
    state.meid = "A1000000000001";
    state.productId = 0x9025;
    state.revision = "Halvo_9x07_V1.0";
    state.flashId = "1024";
    state.nvItems = &nv;
  }
  AtOutcome ask(const std::string& line) { return answerAtCommand(line, state, faults); }

  NvItems nv;
  AtState state;
  ModuleFaults faults;
};

TEST_F(AtResponder, AnswersTheCatalogueWithEchoAndOk) {
  EXPECT_EQ(ask("AT+SIMEI?").reply, "AT+SIMEI?\r\r\n+SIMEI: 860000000000017\r\n\r\nOK\r\n");
  EXPECT_NE(ask("AT+SMEID?").reply.find("+SMEID: A1000000000001\r\n"), std::string::npos);
  EXPECT_NE(ask("AT+CFUN?").reply.find("+CFUN: 1"), std::string::npos);
  EXPECT_NE(ask("AT+CUSBPIDSWITCH?").reply.find("9025"), std::string::npos);
  EXPECT_NE(ask("AT+CGMR").reply.find("Halvo_9x07_V1.0"), std::string::npos);
  EXPECT_NE(ask("AT+ORVANEATI").reply.find("APRev:Halvo_9x07_V1.0\r"), std::string::npos);
  const std::string device = ask("AT+CDEVICE?").reply;
  EXPECT_NE(device.find("Device: 1024\r"), std::string::npos) << device;
  EXPECT_NE(ask("\nat+cfun=1").reply.find("OK"), std::string::npos) << "case and line feed";
  EXPECT_NE(ask("AT+NOSUCH").reply.find("ERROR"), std::string::npos);
}

TEST_F(AtResponder, WritesIdentityOnlyWhenItHasTheRightLength) {
  EXPECT_NE(ask("AT+SIMEI=12345").reply.find("ERROR"), std::string::npos);
  EXPECT_NE(ask("AT+SIMEI=35500000000000a").reply.find("ERROR"), std::string::npos);
  EXPECT_EQ(state.imei, "860000000000017");
  EXPECT_NE(ask("AT+SIMEI=355000000000001").reply.find("OK"), std::string::npos);
  EXPECT_EQ(state.imei, "355000000000001");
  EXPECT_NE(ask("AT+SMEID=A2000000000002").reply.find("OK"), std::string::npos);
  EXPECT_EQ(state.meid, "A2000000000002");
}

TEST_F(AtResponder, EfsBackupRunsAndReportsItsProgress) {
  EXPECT_NE(ask("AT+BACKUPEFS?").reply.find("0,0"), std::string::npos);
  const AtOutcome started = ask("AT+CBACKUPEFS2");
  EXPECT_EQ(started.action, AtAction::kStartEfsBackup);
  EXPECT_EQ(ask("AT+BACKUPEFS?").reply.find(",2"), std::string::npos);
  state.efsBackup = EfsBackupState::kDone;
  EXPECT_NE(ask("AT+BACKUPEFS?").reply.find(",2"), std::string::npos);
}

TEST_F(AtResponder, NvWriteChangesTheItem) {
  EXPECT_NE(ask("AT+CNVW=3628,0,\"00\"").reply.find("OK"), std::string::npos);
  EXPECT_EQ(nv.at(3628), std::vector<uint8_t>{0});
  EXPECT_NE(ask("AT+CNVW=3628,0,\"0\"").reply.find("ERROR"), std::string::npos);
  EXPECT_NE(ask("AT+CNVW=99999,0,\"00\"").reply.find("ERROR"), std::string::npos);
}

TEST_F(AtResponder, RestartCommandsAreEchoedWithoutOk) {
  const AtOutcome loader = ask("at+bootldr");
  EXPECT_EQ(loader.reply, "at+bootldr\r");
  EXPECT_EQ(loader.action, AtAction::kRestartToFastboot);
  EXPECT_EQ(ask("at+bootedl").action, AtAction::kRestartToEdl);
  EXPECT_EQ(ask("at+creset").action, AtAction::kRestart);
  EXPECT_EQ(ask("AT+CUSBPIDSWITCH=9011,1,1").action, AtAction::kSwitchTo9011);
  ask("at+cusbadb=1");
  EXPECT_TRUE(state.adbEnabled);
}

TEST_F(AtResponder, FaultsSilenceOrRefuse) {
  faults.switchRefused = true;
  const AtOutcome edl = ask("at+bootedl");
  EXPECT_NE(edl.reply.find("ERROR"), std::string::npos);
  EXPECT_EQ(edl.action, AtAction::kNone);
  faults.atError = true;
  const AtOutcome error = ask("AT+SIMEI?");
  EXPECT_EQ(error.reply.find("OK"), std::string::npos);
  EXPECT_NE(error.reply.find("ERROR"), std::string::npos);
  EXPECT_EQ(ask("at+bootldr").action, AtAction::kNone);
  faults.atSilent = true;
  EXPECT_TRUE(ask("AT+SIMEI?").reply.empty());
}

}  // namespace
}  // namespace sim
