// The road at the pace of a real module: the bench keeps its modules' own delays (restarts,
// re-enumeration, the old port still listed after a switch) and the station runs at time
// scale 1, so every bound the station keeps meets a real module's delays. Default options, an
// unplug during the AP download and a replug: the station ends green.

#include <cstdlib>

#include "road_fixture.h"

namespace road_test {
namespace {

class RealTimingRoad : public Qca9x07RoadTest {
 protected:
  RealTimingRoad() {
    benchOptions_ = {"--timing", "real"};
    // The station and the library (started after this) wait their full waits.
    ::setenv("ZENDRAL_TIME_SCALE", "1", 1);
  }
};

TEST_F(RealTimingRoad, AnApUnplugAndAReplugEndGreen) {
  const std::string id = plug({"unplug:ap:50"});
  startStation();
  ASSERT_TRUE(waitForFailure()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_TRUE(station_->waitForMessage("AP Download Failed."));
  const size_t mark = station_->eventCount();
  replug(id);
  ASSERT_TRUE(station_->waitForAfter(
      mark,
      [](const json& e) { return e["event"] == "message" && e["text"] == "Update Success!"; }))
      << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id, defaultPartitions());
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

}  // namespace
}  // namespace road_test
