// The workers' tables: for each platform type and operation result, the state the slot is left
// in and what the DUT row reports. The workers run directly on the test thread here.

#include <algorithm>
#include <cstring>

#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "slots_fixture.h"
#include "station/auxiliary_tasks.h"
#include "station/workers.h"

namespace slotstest {
namespace {

using ::testing::ElementsAre;

class WorkersTest : public SlotsTest {
 protected:
  void prepareSlot(SlotState state) {
    slot().state = state;
    slot().slot = 1;
    slot().diaport = 12;
    slot().atport = 13;
    slot().present = 1;
    std::strcpy(slot().devicePath, kFastbootPath.c_str());
  }
};

struct CpCase {
  const char* name;
  PlatformType type;
  int result;
  bool backup;
  int partionDiff, updatedCp, halvoH;
  SlotState after;
  int lastStatus;       // the last status reported
  const char* message;  // a message that must have been shown, or ""
};

const CpCase kCpCases[] = {
    {"Qca9x15Fails", kQca9x15, -3, false, 0, 0, 0, DUT_IDLE, -1, ""},
    {"Qca9x07FailsWithPartitionDiff", kQca9x07, -1, false, 1, 0, 0, DUT_WAIT_REBOOT, -1, ""},
    {"Qca9x07WroteNothing", kQca9x07, 0, false, 0, 0, 0, DUT_IDLE, 1,
     "waiting for dut,long time please repower dut..."},
    {"Qca9x25WaitsForFastboot", kQca9x25, 0, false, 0, 0, 0, DUT_WAIT_AP, 1,
     "waiting for dut,long time please repower dut..."},
    {"Qca8909FailsWithItsResult", kQca8909, -5, false, 0, 0, 0, DUT_IDLE, -5, ""},
    {"Qca8909WithoutBackupEndsGreen", kQca8909, 0, false, 0, 0, 0, DUT_IDLE, 0, ""},
    {"Qca8909WithBackupWaitsForQcn", kQca8909, 0, true, 0, 0, 0, DUT_WAIT_QCN, 1,
     "Waiting recovery xqcn...long time please replug dut."},
    {"Qca9206PositiveResultIsReportedAsIs", kQca9206, 4, false, 0, 0, 0, DUT_IDLE, 4, ""},
    {"Qca6695WaitsForReboot", kQca6695, 0, false, 0, 0, 0, DUT_WAIT_REBOOT, 1,
     "waiting for reboot device..."},
    {"Qca6270QmbnRoadWaitsForReboot", kQca6270, 0, true, 0, 0, 1, DUT_WAIT_REBOOT, 1, ""},
};

class CpTable : public WorkersTest, public ::testing::WithParamInterface<CpCase> {};

TEST_P(CpTable, LeavesTheSlotAsTheTypeSays) {
  const CpCase& c = GetParam();
  usePlatform(c.type);
  gBackupRestoreQcn = c.backup;
  bHalvoH = c.halvoH;
  FakePlatform::cpResults = {c.result};
  FakePlatform::hook = [&](const std::string&, const DownloadRequest&) {
    bPartionDiff = c.partionDiff;
    bUpdatedCp = c.updatedCp;
  };
  prepareSlot(DUT_CP_DOWNLOAD);
  SetThreadImei(1, "490154203237518");
  EXPECT_EQ(DLThreadFunction(&slot()), c.result);
  EXPECT_EQ(state(), c.after);
  ASSERT_FALSE(surface_.statuses().empty());
  EXPECT_EQ(surface_.statuses().front(), 1) << "the run is shown as working first";
  EXPECT_EQ(surface_.statuses().back(), c.lastStatus);
  if (*c.message) {
    EXPECT_TRUE(surface_.hasMessage(c.message));
  }
  const DownloadRequest request = FakePlatform::calls().at(0).request;
  EXPECT_EQ(request.atport, 13);
  EXPECT_STREQ(request.imei, "490154203237518");
  EXPECT_STREQ(request.devicePath, "");
}

INSTANTIATE_TEST_SUITE_P(Types, CpTable, ::testing::ValuesIn(kCpCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkersTest, WorkersRefuseASlotThatIsNotTheStations) {
  for (int dut : {0, 2}) {
    prepareSlot(DUT_CP_DOWNLOAD);
    slot().slot = dut;
    EXPECT_EQ(DLThreadFunction(&slot()), -1);
    EXPECT_EQ(TpDLThreadFunction(&slot()), -1);
    EXPECT_EQ(ApDLThreadFunction(&slot()), -1);
    EXPECT_EQ(ToWriteImeiMeidThreadFunction(&slot()), -1);
    EXPECT_EQ(ToCheckEfsThreadFunction(&slot()), -1);
    EXPECT_EQ(ToFastbootThreadFunction(&slot()), -1);
    EXPECT_EQ(state(), DUT_CP_DOWNLOAD) << "nothing changed";
  }
  EXPECT_TRUE(FakePlatform::calls().empty());
}

TEST_F(WorkersTest, TpStepsByType) {
  struct Case {
    PlatformType type;
    int result;
    int switch911;
    SlotState after;
  };
  const Case cases[] = {
      {kQca9x15, 0, 0, DUT_BACKUP_EFS}, {kQca9206, 0, 0, DUT_BACKUP_EFS},
      {kQca9x07, 0, 1, DUT_BACKUP_EFS}, {kQca9x07, 0, 0, DUT_WAIT_REBOOT},
      {kQca8909, 0, 0, DUT_IDLE},       {kQca9x25, 0, 0, DUT_WAIT_REBOOT},
      {kQca6695, -2, 0, DUT_WAIT_QCN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    usePlatform(c.type);
    bSwitch911 = c.switch911;
    FakePlatform::tpResults = {c.result};
    prepareSlot(DUT_QCN_RESTORE);
    surface_.clear();
    EXPECT_EQ(TpDLThreadFunction(&slot()), c.result);
    EXPECT_EQ(state(), c.after);
    EXPECT_STREQ(slot().devicePath, "") << "the device path is cleared";
    EXPECT_STREQ(FakePlatform::calls().back().request.devicePath, kFastbootPath.c_str());
    if (c.result != 0) {
      EXPECT_EQ(surface_.statuses().back(), c.result);
    }
  }
  EXPECT_TRUE(FakeAt::commands().empty());
}

TEST_F(WorkersTest, Qca9x07RestoreDrivingThePortAsksForEfsBackupAndReset) {
  gNotUseQPST = 1;
  prepareSlot(DUT_QCN_RESTORE);
  EXPECT_EQ(TpDLThreadFunction(&slot()), 0);
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_THAT(FakeAt::commands(), ElementsAre("AT+CFUN=1\r", "AT+CBACKUPEFS2\r", "at+creset\r"));
}

TEST_F(WorkersTest, ApStepsByTypeAndOption) {
  struct Case {
    PlatformType type;
    int result;
    bool backup;
    const char* imei;
    int openAdb;
    SlotState after;
    const char* message;
  };
  const Case cases[] = {
      {kQca9x07, -9, false, "", 0, DUT_IDLE, ""},
      {kQca9x07, 0, false, "", 1, DUT_BACKUP_EFS, ""},
      {kQca9x07, 0, false, "", 0, DUT_WAIT_REBOOT, ""},
      {kQca9x15, 0, false, "", 0, DUT_WAIT_REBOOT, ""},
      {kQca6270, 0, false, "", 0, DUT_WAIT_REBOOT, ""},
      {kQca9x15, 0, true, "490154203237518", 0, DUT_WAIT_QCN, "Waiting recovery xqcn..."},
      {kQca9x15, 0, true, "", 0, DUT_WAIT_REBOOT,
       "No IMEI,you need manual recovery xqcn.Waiting reboot..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.result));
    usePlatform(c.type);
    gBackupRestoreQcn = c.backup;
    bOpenAdb = c.openAdb;
    FakePlatform::apResults = {c.result};
    prepareSlot(DUT_AP_DOWNLOAD);
    SetThreadImei(1, c.imei);
    surface_.clear();
    EXPECT_EQ(ApDLThreadFunction(&slot()), c.result);
    EXPECT_EQ(state(), c.after);
    EXPECT_STREQ(slot().devicePath, "");
    EXPECT_EQ(surface_.statuses().back(), c.result == 0 ? 1 : c.result);
    if (*c.message) {
      EXPECT_EQ(surface_.messages().back(), c.message);
    } else {
      EXPECT_TRUE(surface_.messages().empty());
    }
  }
}

TEST_F(WorkersTest, Qca9x07PostDownloadStepSwitchesBackTo9011) {
  struct Case {
    int openAdb, switch911, checkRuns, is9011, accepted;
    SlotState after;
    int result;
    const char* message;
  };
  const Case cases[] = {
      {0, 0, 1, 0, 1, DUT_IDLE, 0, "Update Success!"},
      {1, 1, 1, 1, 1, DUT_IDLE, 0, "Update Success!"},
      {0, 1, 0, 0, 1, DUT_BACKUP_EFS, -1, "Check 9011 failed!,please repower 1 DUT"},
      {0, 1, 1, 0, 1, DUT_WAIT_REBOOT, 0, "Waiting change to 9011!"},
      {0, 1, 1, 0, 0, DUT_BACKUP_EFS, -1, "change back to 9011 failed!,please repower 1 DUT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    FakeAt::reset();
    bOpenAdb = c.openAdb;
    bSwitch911 = c.switch911;
    FakeAt::checkIf9011Result = c.checkRuns;
    FakeAt::is9011 = c.is9011;
    FakeAt::setAtCmdResult = c.accepted;
    prepareSlot(DUT_BACKUP_EFS);
    surface_.clear();
    EXPECT_EQ(ToWriteImeiMeidThreadFunction(&slot()), c.result);
    EXPECT_EQ(state(), c.after);
    EXPECT_EQ(surface_.messages().back(), c.message);
    const auto commands = FakeAt::commands();
    EXPECT_EQ(c.openAdb, std::count(commands.begin(), commands.end(), "at+cusbadb=1\r"));
  }
}

TEST_F(WorkersTest, PostDownloadStepQueuedTwiceRunsOnce) {
  usePlatform(kQca9x15);
  prepareSlot(DUT_BACKUP_EFS);
  EXPECT_EQ(ToWriteImeiMeidThreadFunction(&slot()), 0);
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  EXPECT_EQ(ToWriteImeiMeidThreadFunction(&slot()), -1);
  EXPECT_THAT(FakeAt::commands(), ElementsAre("backupEfs2 0"));
}

TEST_F(WorkersTest, FailedEfsBackupWaitsForTheNextArrival) {
  usePlatform(kQca9206);
  FakeAt::backupResults = {0};
  prepareSlot(DUT_BACKUP_EFS);
  EXPECT_EQ(ToWriteImeiMeidThreadFunction(&slot()), 0);
  EXPECT_EQ(state(), DUT_BACKUP_EFS);
  EXPECT_EQ(surface_.statuses().back(), -1);
  EXPECT_TRUE(surface_.hasMessage("backup efs2 failed!,please repower 1 DUT"));
}

// The operator repowers as soon as a message asks for it: by then the slot must already wait for
// the module's return, or a quick repower finds the old state and the run hangs.
TEST_F(WorkersTest, ASlotWaitsForTheRepowerBeforeTheOperatorIsAskedForIt) {
  struct Case {
    PlatformType type;
    std::deque<int> backupResults, checkResults;
    SlotState from;
    std::string message;
    SlotState waiting;
  };
  const Case cases[] = {
      {kQca9x15, {1}, {}, DUT_BACKUP_EFS, "backup efs2 Success,waiting reboot...", DUT_WAIT_REBOOT},
      {kQca9206,
       {0},
       {},
       DUT_BACKUP_EFS,
       "backup efs2 failed!,please repower 1 DUT",
       DUT_BACKUP_EFS},
      {kQca9206,
       {},
       {0},
       DUT_CHECK_EFS,
       "efs2 backup failed!,please repower 1 DUT",
       DUT_BACKUP_EFS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    usePlatform(c.type);
    FakeAt::backupResults = c.backupResults;
    FakeAt::checkResults = c.checkResults;
    prepareSlot(c.from);
    std::optional<SlotState> stateWhenAsked;
    surface_.onMessage = [&](const std::string& text) {
      if (text == c.message) stateWhenAsked = state();
    };
    ToWriteImeiMeidThreadFunction(&slot());
    surface_.onMessage = nullptr;
    EXPECT_EQ(stateWhenAsked, c.waiting);
  }
}

}  // namespace
}  // namespace slotstest
