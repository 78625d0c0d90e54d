// The dispatcher's choices that depend on the operator modes and on where the slot waits:
// AP-only, QCN-only with its file chooser, a diagnostic port returning while the slot waits
// for the fastboot device, and scheduling that is refused.

#include <cstring>

#include "host/clock.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "slots_fixture.h"
#include "station/dispatcher.h"

namespace slotstest {
namespace {

using ::testing::ElementsAre;

using DispatcherTest = SlotsTest;

TEST_F(DispatcherTest, DiagnosticPortReturningWhileWaitingForFastbootStartsNothing) {
  FakePlatform::hook = [](const std::string&, const DownloadRequest&) { bUpdatedCp = 1; };
  arrive(diagName(12), tty(12));
  ASSERT_EQ(state(), DUT_WAIT_AP);
  unplug(tty(12));
  plug(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_WAIT_AP);
  EXPECT_THAT(FakePlatform::operations(), ElementsAre("cp"));
}

TEST_F(DispatcherTest, ApOnlyDiagnosticPortRunsTheSwitchInsteadOfACpDownload) {
  gOnlyAp = true;
  arrive(diagName(12), tty(12));
  EXPECT_TRUE(FakePlatform::calls().empty());
  EXPECT_TRUE(surface_.hasMessage("Enter ToFastbootThreadFunction."));
  EXPECT_TRUE(surface_.hasMessage("AT comport not found,try repower DUT."));
  EXPECT_EQ(state(), DUT_IDLE) << "without an AT port the state is left as it was";
  // Retried from DUT_WAIT_AP when the module did not switch.
  slot().state = DUT_WAIT_AP;
  surface_.clear();
  arrive(diagName(12), tty(12));
  EXPECT_TRUE(surface_.hasMessage("Enter ToFastbootThreadFunction."));
  const auto events = surface_.events();
  EXPECT_NE(std::find(events.begin(), events.end(), "time 0"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "progress 0"), events.end());
}

TEST_F(DispatcherTest, DownloadPortsInApOnlyModeStartACpDownload) {
  gOnlyAp = true;
  arrive("Qualcomm HS-USB QDLoader 9008 (COM7)", tty(7));
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp"));
  EXPECT_EQ(FakePlatform::calls()[0].request.portKind, 1);
  EXPECT_EQ(FakePlatform::calls()[0].request.ql9008port, 7);
  EXPECT_FALSE(surface_.hasMessage("Enter ToFastbootThreadFunction."));
  unplug(tty(7));
  usePlatform(kQca8909);
  arrive("Qualcomm HS-USB QDLoader 9009 (COM8)", tty(8));
  ASSERT_EQ(FakePlatform::calls().size(), 2u);
  EXPECT_EQ(FakePlatform::calls()[1].request.portKind, 2);
  EXPECT_EQ(FakePlatform::calls()[1].request.ql9009port, 8);
}

TEST_F(DispatcherTest, QcnOnlyAsksForTheFileAndRestoresItUnderItsName) {
  gOnlyQcn = true;
  gBackupRestoreQcn = true;
  qcnFilePath = "/fw";
  surface_.answerChooser(dir_.string() + "/backups/490154203237518.v2.xqcn");
  arrive(diagName(12), tty(12));
  const auto events = surface_.events();
  EXPECT_NE(
      std::find(events.begin(), events.end(), "chooser Please select 1 DUT qcn file|*.xqcn|/fw"),
      events.end());
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("tp"));
  EXPECT_STREQ(FakePlatform::calls()[0].request.imei, "490154203237518");
  EXPECT_EQ(qcnFilePath, dir_.string() + "/backups");
}

TEST_F(DispatcherTest, QcnOnlyCancelledOrUnusableNameLeavesTheSlotIdle) {
  gOnlyQcn = true;
  gBackupRestoreQcn = true;
  qcnFilePath = "/fw";
  surface_.answerChooser(std::nullopt);
  arrive(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_IDLE);
  unplug(tty(12));
  surface_.answerChooser("/fw/.xqcn");
  plug(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_TRUE(surface_.hasMessage("Invalid qcn file name: .xqcn"));
  EXPECT_EQ(qcnFilePath, "/fw") << "a refused choice changes nothing";
  EXPECT_TRUE(FakePlatform::calls().empty());
}

TEST_F(DispatcherTest, RefusedSchedulingLeavesTheSlotIdle) {
  host::requestStop();  // no worker starts while the station stops its slots
  arrive(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_TRUE(FakePlatform::calls().empty());
  host::clearStop();
}

TEST_F(DispatcherTest, PortsOfAnotherKindOnAnOccupiedSlotAreNotTaken) {
  // A "QDLoader" port that is neither 9008 nor 9009 is a diagnostic port dispatched as kind 1;
  // the slot's 9008 port is another number and its diaport is taken, so no slot takes it.
  arrive("Qualcomm HS-USB QDLoader 9010 (COM4)", tty(4));
  EXPECT_EQ(slot().diaport, 4);
  EXPECT_TRUE(FakePlatform::calls().empty());
}

}  // namespace
}  // namespace slotstest
