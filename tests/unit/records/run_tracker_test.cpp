// Runs put together from the station's events, as the roads produce them: a pass, a failure in
// a stage, a restore that fails and is retried, a stop, a worker that did nothing, and the
// identity that belongs to the run that read it.

#include "records/run_tracker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace records_test {
namespace {

using records::RunRecord;
using records::Stage;

class KeptRuns : public records::RecordSink {
 public:
  void store(RunRecord record, std::shared_ptr<const records::FirmwareImages> firmware) override {
    runs.push_back(std::move(record));
    firmwares.push_back(std::move(firmware));
  }
  std::vector<RunRecord> runs;
  std::vector<std::shared_ptr<const records::FirmwareImages>> firmwares;
};

class RunTrackerTest : public ::testing::Test {
 protected:
  RunTrackerTest() { tracker_.firmwareLoaded("Qca9x07", "/fw/r12", {{"SBL", "/fw/r12/sbl1.mbn"}}); }

  // The default road of one DUT up to the AP download's end.
  void cpAndAp(int dut) {
    tracker_.stageChanged(dut, Stage::Cp);
    tracker_.workerStarted(dut, {true, false, false});
    tracker_.statusReported(dut, 1);
    tracker_.imeiRead(dut, "861234567890123");
    tracker_.meidRead(dut, "A0000012345678");
    tracker_.qcnFileUsed(dut, "/qcn/861234567890123.xqcn");
    tracker_.messageLogged(dut, "qcn backup success!");
    tracker_.stageChanged(dut, Stage::Waiting);
    tracker_.stageChanged(dut, Stage::Ap);
    tracker_.workerStarted(dut, {true, false, false});
    tracker_.messageLogged(dut, "flash system OKAY");
  }

  KeptRuns kept_;
  records::ImageHasher hasher_;
  records::RunTracker tracker_{kept_, hasher_, "line-a-1"};
};

TEST_F(RunTrackerTest, APassingRunIsOneRecordWithItsIdentityStagesAndFirmware) {
  cpAndAp(2);
  tracker_.stageChanged(2, Stage::Waiting);
  tracker_.stageChanged(2, Stage::Idle);
  tracker_.messageLogged(2, "Update Success!");
  tracker_.statusReported(2, 0);
  tracker_.messageLogged(2, "Device unplug.");  // after the run: nobody's
  tracker_.statusReported(2, 1);

  ASSERT_EQ(kept_.runs.size(), 1u);
  const RunRecord& r = kept_.runs[0];
  EXPECT_EQ(r.station, "line-a-1");
  EXPECT_EQ(r.dut, 2);
  EXPECT_EQ(r.imei, "861234567890123");
  EXPECT_EQ(r.meid, "A0000012345678");
  EXPECT_EQ(r.platform, "Qca9x07");
  EXPECT_EQ(r.firmwareFolder, "/fw/r12");
  EXPECT_TRUE(r.backupQcn);
  EXPECT_EQ(r.result, "pass");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, "Update Success!");
  EXPECT_EQ(r.failedStage, "");
  EXPECT_EQ(r.failureMessage, "");
  EXPECT_TRUE(r.cpMs && r.apMs);
  EXPECT_FALSE(r.tpMs || r.efsMs) << "stages the run never entered have no time";
  EXPECT_EQ(r.qcnFile, "/qcn/861234567890123.xqcn");
  EXPECT_THAT(r.dutLog, ::testing::EndsWith("/Dut2.log"));
  EXPECT_LE(r.startTime, r.endTime);
  ASSERT_TRUE(kept_.firmwares[0]);
  EXPECT_EQ(kept_.firmwares[0]->digests().size(), 1u);
}

TEST_F(RunTrackerTest, AFailureNamesTheStageThatFailedAndItsLastMessage) {
  cpAndAp(1);
  tracker_.messageLogged(1, "flash system FAILED (remote: write error)");
  tracker_.statusReported(1, -1);
  tracker_.stageChanged(1, Stage::Idle);
  tracker_.statusReported(1, -1);  // a second red lamp for the same failure

  ASSERT_EQ(kept_.runs.size(), 1u);
  EXPECT_EQ(kept_.runs[0].result, "fail");
  EXPECT_EQ(kept_.runs[0].status, -1);
  EXPECT_EQ(kept_.runs[0].failedStage, "AP");
  EXPECT_EQ(kept_.runs[0].failureMessage, "flash system FAILED (remote: write error)");
}

TEST_F(RunTrackerTest, AFailedRestoreIsOneRunAndItsRetryAnother) {
  cpAndAp(1);
  tracker_.stageChanged(1, Stage::Waiting);
  tracker_.stageChanged(1, Stage::Tp);
  tracker_.workerStarted(1, {true, false, false});
  tracker_.messageLogged(1, "qcn restore failed, Please repower 1 DUT to continue resotre.");
  tracker_.stageChanged(1, Stage::Waiting);  // the slot waits for the module again
  tracker_.statusReported(1, -1);
  tracker_.stageChanged(1, Stage::Tp);
  tracker_.workerStarted(1, {true, false, false});
  tracker_.messageLogged(1, "Update Success!");
  tracker_.stageChanged(1, Stage::Idle);
  tracker_.statusReported(1, 0);

  ASSERT_EQ(kept_.runs.size(), 2u);
  EXPECT_EQ(kept_.runs[0].failedStage, "TP") << "the stage that failed, not the wait after it";
  EXPECT_EQ(kept_.runs[0].imei, "861234567890123");
  EXPECT_EQ(kept_.runs[1].result, "pass");
  EXPECT_TRUE(kept_.runs[1].tpMs);
  EXPECT_FALSE(kept_.runs[1].cpMs);
  EXPECT_NE(kept_.runs[0].uid, kept_.runs[1].uid);
}

TEST_F(RunTrackerTest, AStopOrTheCloseRecordsARunThatHadBegunAndNothingElse) {
  cpAndAp(1);
  tracker_.slotStopped(1);
  tracker_.slotStopped(1);
  tracker_.workerStarted(2, {});  // scheduled, nothing happened yet
  tracker_.closeAll();
  ASSERT_EQ(kept_.runs.size(), 1u);
  EXPECT_EQ(kept_.runs[0].result, "fail");
  EXPECT_EQ(kept_.runs[0].status, 1) << "it was still working";
  EXPECT_EQ(kept_.runs[0].failedStage, "AP");
  EXPECT_EQ(kept_.runs[0].failureMessage, "Stopped before the run ended.");

  tracker_.stageChanged(3, Stage::Cp);
  tracker_.workerStarted(3, {});
  tracker_.messageLogged(3, "Sending HELLO to flash programmer");
  tracker_.closeAll();
  ASSERT_EQ(kept_.runs.size(), 2u);
  EXPECT_EQ(kept_.runs[1].failureMessage, "The station closed before the run ended.");
  EXPECT_EQ(kept_.runs[1].status, -1);
}

TEST_F(RunTrackerTest, ARunThatWentIdleWithoutAResultEndsWhenTheNextBegins) {
  tracker_.stageChanged(1, Stage::Cp);
  tracker_.workerStarted(1, {});
  tracker_.messageLogged(1, "waiting for dut,long time please repower dut...");
  tracker_.stageChanged(1, Stage::Idle);
  tracker_.stageChanged(1, Stage::Cp);
  tracker_.workerStarted(1, {});
  tracker_.statusReported(1, 0);
  ASSERT_EQ(kept_.runs.size(), 2u);
  EXPECT_EQ(kept_.runs[0].failureMessage, "The run ended without a result.");
  EXPECT_EQ(kept_.runs[1].result, "pass");
}

TEST_F(RunTrackerTest, TheIdentityReadBeforeTheWorkerBelongsToThatRunOnly) {
  // The QCN-only road names the module by the chosen file before its worker starts.
  tracker_.imeiRead(1, "861234567890123");
  tracker_.stageChanged(1, Stage::Tp);
  tracker_.workerStarted(1, {false, false, true});
  tracker_.statusReported(1, 0);
  tracker_.stageChanged(1, Stage::Cp);
  tracker_.workerStarted(1, {});
  tracker_.statusReported(1, -1);
  ASSERT_EQ(kept_.runs.size(), 2u);
  EXPECT_EQ(kept_.runs[0].imei, "861234567890123");
  EXPECT_TRUE(kept_.runs[0].onlyQcn);
  EXPECT_EQ(kept_.runs[1].imei, "") << "the next module's run never read one";
}

}  // namespace
}  // namespace records_test
