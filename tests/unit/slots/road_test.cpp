// Whole runs of one DUT through the dispatcher and the workers, driven by port arrivals and
// removals in the scripted directory: which worker ran with which request, and where the slot
// stands after each step.

#include <cstring>

#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "slots_fixture.h"

namespace slotstest {
namespace {

using ::testing::ElementsAre;

class RoadTest : public SlotsTest {
 protected:
  // The module enumerates as a fastboot device while its CP download ends.
  void fastbootAfterCp() {
    FakePlatform::hook = [this](const std::string& operation, const DownloadRequest&) {
      if (operation == "cp") {
        bUpdatedCp = 1;
        directory_.addUsbInterface(kFastbootPath, false);
      }
      if (operation == "ap") directory_.removeUsbInterface(kFastbootPath, false);
    };
  }
};

TEST_F(RoadTest, DefaultRunOfOneModuleEndsWithUpdateSuccessAndUnplug) {
  fastbootAfterCp();
  EXPECT_EQ(arrive(diagName(12), tty(12)), 0);
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp", "ap"));
  const DownloadRequest cp = FakePlatform::calls()[0].request;
  EXPECT_EQ(cp.slot, 1);
  EXPECT_EQ(cp.diaport, 12);
  EXPECT_EQ(cp.portKind, 0);
  EXPECT_STREQ(cp.devicePath, "") << "the CP request carries no device path";
  const DownloadRequest ap = FakePlatform::calls()[1].request;
  EXPECT_EQ(ap.slot, 1);
  EXPECT_STREQ(ap.devicePath, kFastbootPath.c_str());
  EXPECT_EQ(ap.diaport, 0) << "the AP request carries only the DUT and the device";
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_STREQ(slot().devicePath, "");
  EXPECT_TRUE(surface_.hasMessage("waiting for dut,long time please repower dut..."));

  unplug(tty(12));  // the module reboots
  EXPECT_EQ(slot().present, 0);
  EXPECT_FALSE(surface_.hasMessage("Device unplug.")) << "a rebooting module is not unplugged";
  surface_.clear();
  plug(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_THAT(surface_.statuses(), ElementsAre(0));
  EXPECT_TRUE(surface_.hasMessage("Update Success!"));

  unplug(tty(12));
  EXPECT_TRUE(surface_.hasMessage("Device unplug."));
  EXPECT_EQ(surface_.statuses().back(), 1);
  EXPECT_EQ(FakePlatform::operations().size(), 2u) << "nothing else ran";
}

TEST_F(RoadTest, KnownPortStillPresentStartsNothingUntilItWasRemoved) {
  FakePlatform::cpResults = {-1};
  arrive(diagName(12), tty(12));
  ASSERT_EQ(FakePlatform::operations().size(), 1u);
  ASSERT_EQ(state(), DUT_IDLE);
  // A composite module raises several arrivals: the present port starts no second run.
  arrive(atName(13), tty(13));
  EXPECT_EQ(FakePlatform::operations().size(), 1u);
  EXPECT_EQ(slot().atport, 13);
  unplug(tty(12));
  plug(diagName(12), tty(12));
  EXPECT_EQ(FakePlatform::operations().size(), 2u) << "after a removal the port starts a run";
}

TEST_F(RoadTest, BackupRoadRestoresTheQcnWhenTheModuleReturns) {
  gBackupRestoreQcn = true;
  usePlatform(kQca8909);
  FakePlatform::hook = [](const std::string& operation, const DownloadRequest&) {
    if (operation == "cp") SetThreadImei(1, "490154203237518");
  };
  arrive(diagName(5), tty(5));
  EXPECT_EQ(state(), DUT_WAIT_QCN);
  EXPECT_TRUE(surface_.hasMessage("Waiting recovery xqcn...long time please replug dut."));
  unplug(tty(5));
  plug(diagName(5), tty(5));
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp", "tp"));
  const DownloadRequest tp = FakePlatform::calls()[1].request;
  EXPECT_STREQ(tp.imei, "490154203237518");
  EXPECT_EQ(tp.diaport, 5);
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_EQ(surface_.statuses().back(), 0);
  EXPECT_TRUE(surface_.hasMessage("Update Success!"));
}

TEST_F(RoadTest, FailedRestoreWaitsAndTheNextArrivalRetriesIt) {
  gBackupRestoreQcn = true;
  usePlatform(kQca6270);
  FakePlatform::tpResults = {-7};
  arrive(diagName(5), tty(5));
  ASSERT_EQ(state(), DUT_WAIT_QCN);
  unplug(tty(5));
  plug(diagName(5), tty(5));
  EXPECT_EQ(state(), DUT_WAIT_QCN);
  EXPECT_EQ(surface_.statuses().back(), -7);
  unplug(tty(5));
  plug(diagName(5), tty(5));
  EXPECT_THAT(FakePlatform::operations(), ElementsAre("cp", "tp", "tp"));
  EXPECT_EQ(state(), DUT_IDLE);
}

TEST_F(RoadTest, WithoutImeiTheRunEndsRedAskingForAManualRestore) {
  gBackupRestoreQcn = true;
  usePlatform(kQca9x15);
  fastbootAfterCp();
  arrive(diagName(7), tty(7));
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_TRUE(surface_.hasMessage("No IMEI,you need manual recovery xqcn.Waiting reboot..."));
  unplug(tty(7));
  plug(diagName(7), tty(7));
  EXPECT_EQ(surface_.messages().back(), "No IMEI,you need manual recovery xqcn!");
  EXPECT_EQ(surface_.statuses().back(), -1);
  EXPECT_EQ(state(), DUT_IDLE);
}

TEST_F(RoadTest, ModuleThatNeverLeftEndsWithTheDotVariant) {
  gBackupRestoreQcn = true;
  usePlatform(kQca9x15);
  fastbootAfterCp();
  arrive(diagName(7), tty(7));
  ASSERT_EQ(state(), DUT_WAIT_REBOOT);
  arrive(diagName(7), tty(7));  // arrives again while still present
  EXPECT_EQ(surface_.messages().back(), "No IMEI,you need manual recovery xqcn.");
}

TEST_F(RoadTest, QmbnRoadOfQca8909EndsGreenWithoutImei) {
  gBackupRestoreQcn = true;
  bHalvoH = 1;
  usePlatform(kQca8909);
  arrive(diagName(5), tty(5));
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  unplug(tty(5));
  plug(diagName(5), tty(5));
  EXPECT_EQ(surface_.statuses().back(), 0);
  EXPECT_TRUE(surface_.hasMessage("Update Success!"));
}

TEST_F(RoadTest, Qca9206RunBacksUpEfsThenChecksItAndRetriesAFailedCheck) {
  usePlatform(kQca9206);
  gBackupRestoreQcn = true;
  FakePlatform::hook = [](const std::string& operation, const DownloadRequest&) {
    if (operation == "cp") SetThreadImei(1, "490154203237518");
  };
  FakeAt::checkResults = {0, 1};
  arrive(diagName(3), tty(3));
  ASSERT_EQ(state(), DUT_WAIT_QCN);
  unplug(tty(3));
  plug(diagName(3), tty(3));  // restore
  ASSERT_EQ(state(), DUT_BACKUP_EFS);
  unplug(tty(3));
  plug(diagName(3), tty(3));  // EFS backup
  ASSERT_EQ(state(), DUT_CHECK_EFS);
  EXPECT_TRUE(surface_.hasMessage("backup efs2 Success,waiting reboot..."));
  unplug(tty(3));
  plug(diagName(3), tty(3));  // check fails
  EXPECT_EQ(state(), DUT_BACKUP_EFS);
  EXPECT_TRUE(surface_.hasMessage("efs2 backup failed!,please repower 1 DUT"));
  unplug(tty(3));
  plug(diagName(3), tty(3));  // backup again
  unplug(tty(3));
  plug(diagName(3), tty(3));  // check passes
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_EQ(surface_.messages().back(), "Update Success!");
  EXPECT_THAT(FakeAt::commands(),
              ElementsAre("backupEfs2 4", "checkEfs2", "backupEfs2 4", "checkEfs2"));
}

TEST_F(RoadTest, PartitionDiffFailureEndsSilentlyWhenTheModuleReturns) {
  FakePlatform::cpResults = {-1};
  FakePlatform::hook = [](const std::string&, const DownloadRequest&) { bPartionDiff = 1; };
  arrive(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_EQ(surface_.statuses().back(), -1);
  surface_.clear();
  unplug(tty(12));
  plug(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_TRUE(surface_.statuses().empty()) << "no result is reported";
  EXPECT_FALSE(surface_.hasMessage("Update Success!"));
}

TEST_F(RoadTest, Qca9x15WithBackupEfsBacksUpAfterTheApDownload) {
  usePlatform(kQca9x15);
  gBackupEFS = 1;
  fastbootAfterCp();
  arrive(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_BACKUP_EFS);
  EXPECT_TRUE(surface_.hasMessage("Waiting reboot to backup efs2..."));
  unplug(tty(12));
  plug(diagName(12), tty(12));
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_THAT(FakeAt::commands(), ElementsAre("backupEfs2 0"));
}

}  // namespace
}  // namespace slotstest
