#pragma once
// One station on the virtual bench, for the bench programs: a fresh working folder with a
// synthetic firmware of the chosen platform, cfg.ini and the platform's INI file, the bench
// serving on a socket in it, and the headless station running there with Start pressed.
// Modules are plugged and unplugged through the bench; the road's outcome is read from the
// station's events.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/road/station_process.h"
#include "host/child_process.h"

namespace road {

struct RoadOptions {
  std::string platform = "Qca9x07";
  double timeScale = 0.01;
  double sizeScale = 0.01;
  // The bench's own delays (module restarts) are scaled apart from the station's waits;
  // negative: the station's scale.
  double benchTimeScale = -1.0;
  bool keepFolder = false;
  // How many DUT slots the station runs (cfg.ini DutCount); 1 leaves the key out.
  int dutCount = 1;
};

// How long an operator takes to pull a module after its lamp has changed. The station may
// still be finishing the run's bookkeeping in the instant it reports the end.
inline constexpr std::chrono::milliseconds kOperatorReaction(300);

// How one module's road ended.
enum class Outcome { kSuccess, kFailure, kNoResult };

class Road {
 public:
  explicit Road(const RoadOptions& options);
  ~Road();

  // Empty when the bench and the station run; otherwise what went wrong.
  const std::string& error() const { return error_; }
  const std::string& folder() const { return folder_; }
  // The station's time scale, raised to the platform's smallest workable one.
  double timeScale() const { return options_.timeScale; }
  pid_t stationPid() const { return station_ ? station_->pid() : -1; }
  pid_t benchPid() const { return bench_ ? bench_->pid() : -1; }
  StationProcess& station() { return *station_; }

  // Plugs a module of the road's platform (into bench hub port `port`, or the lowest free one
  // for 0); its id, or empty text (see error()).
  std::string plug(const std::vector<std::string>& faults = {}, const std::string& imei = "",
                   int port = 0);
  void unplug(const std::string& id);
  nlohmann::json request(const nlohmann::json& body);

  // Waits for the road of the module plugged after event `mark` to end: a green status 0, or
  // a failed status.
  Outcome waitForEnd(size_t mark, std::chrono::seconds limit);
  // Waits for "Device unplug." after event `mark`.
  bool waitForUnplugShown(size_t mark, std::chrono::seconds limit);

  // Whether the platform's procedure runs outside tools (the Sahara/Firehose tools).
  bool platformHasTools() const;

  // Ends the station (quit) and returns its exit code.
  int quitStation();

 private:
  bool writeSettings();

  RoadOptions options_;
  std::string folder_;
  std::string socket_;
  std::string error_;
  std::unique_ptr<host::ChildProcess> bench_;
  std::unique_ptr<StationProcess> station_;
};

const char* outcomeText(Outcome outcome);

// The smallest station time scale at which the platform's fixed waits still cover the bench
// module's own delays (0: any).
double smallestTimeScale(const std::string& platform);

// The platform names the bench knows, in menu order.
std::vector<std::string> benchPlatforms();

}  // namespace road
