// Where one module's road spends its time on the bench: the station's prescribed waits, the
// bench's own delays (module restarts), the transfers, and the station's own work.
//
// The road runs three times at small time scales: station and bench at s; both at 2s; the
// station at s and the bench at 2s. A road's wall time is C + s_station x W + s_bench x D, so
// the three runs give the station's waits W and the bench's delays D (both at scale 1) and
// the rest C. The transfers are the bench's CPU time per module (the far end of every link,
// which receives and hashes every byte); the station's own work is C less the transfers, and
// its CPU time is read from /proc. The CPU share is the station's CPU time over the road's wall
// time at scale 1 (C + W + D).
//
// The station's CPU time holds its side of the transfers too: it reads and sends every byte,
// and the simulated diagnostic library it loads hashes the CP images on the station's worker.
// A fourth run at a tenth of the firmware size splits it: the CPU time that grows with the
// size is the transfers', and what is left at size 0 is the station's own. The same two runs
// give the wall time that grows with the size (the paced links, and the simulated library's
// round trip to the bench every 64 KiB of a CP image, which the bench's CPU time does not
// show). How long the station's threads were ready to run but waited for a CPU (on a shared
// machine) is read from the scheduler's statistics: it is part of the wall time left to the
// station's own work.
//
//   road_cost [--platform P|all] [--modules N] [--time-scale s] [--size-scale F] [--keep]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/road/process_stats.h"
#include "bench/road/road.h"

namespace {

constexpr std::chrono::seconds kRoadLimit(600);

struct Settings {
  std::vector<std::string> platforms = {"Qca9x07"};
  int modules = 3;
  double timeScale = 0.01;
  double sizeScale = 0.1;  // the demo's firmware sizes
  bool keepFolders = false;
};

// Averages per module of one run.
struct RunCost {
  bool ok = false;
  std::string error;
  double wall = 0;        // plug to the green lamp
  double stationCpu = 0;  // the station's CPU time over the same span
  double benchCpu = 0;
  double stationRunDelay = 0;  // the station's threads ready to run but waiting for a CPU
};

bool parseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--platform" && hasValue) {
      const std::string name = argv[++i];
      settings.platforms = name == "all" ? road::benchPlatforms() : std::vector{name};
    } else if (arg == "--modules" && hasValue) {
      settings.modules = std::atoi(argv[++i]);
    } else if (arg == "--time-scale" && hasValue) {
      settings.timeScale = std::atof(argv[++i]);
    } else if (arg == "--size-scale" && hasValue) {
      settings.sizeScale = std::atof(argv[++i]);
    } else if (arg == "--keep") {
      settings.keepFolders = true;
    } else {
      std::fprintf(stderr,
                   "usage: road_cost [--platform P|all] [--modules N] [--time-scale s] "
                   "[--size-scale F] [--keep]\n");
      return false;
    }
  }
  return settings.modules > 0 && settings.timeScale > 0;
}

RunCost measureRun(const Settings& settings, const std::string& platform, double stationScale,
                   double benchScale, double sizeScale) {
  RunCost cost;
  road::RoadOptions options;
  options.platform = platform;
  options.timeScale = stationScale;
  options.benchTimeScale = benchScale;
  options.sizeScale = sizeScale;
  options.keepFolder = settings.keepFolders;
  road::Road road(options);
  if (!road.error().empty()) {
    cost.error = road.error();
    return cost;
  }
  for (int module = 1; module <= settings.modules; ++module) {
    const double cpuBefore = road::processCpuSeconds(road.stationPid());
    const double benchBefore = road::processCpuSeconds(road.benchPid());
    const double delayBefore = road::processRunDelaySeconds(road.stationPid());
    const size_t mark = road.station().eventCount();
    const auto started = std::chrono::steady_clock::now();
    const std::string id = road.plug();
    const road::Outcome outcome = road.waitForEnd(mark, kRoadLimit);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (outcome != road::Outcome::kSuccess) {
      cost.error = std::string("module ") + std::to_string(module) + ": " +
                   road::outcomeText(outcome) + ", last message \"" + road.station().lastMessage() +
                   "\"";
      return cost;
    }
    cost.wall += wall;
    cost.stationCpu += road::processCpuSeconds(road.stationPid()) - cpuBefore;
    cost.benchCpu += road::processCpuSeconds(road.benchPid()) - benchBefore;
    cost.stationRunDelay += road::processRunDelaySeconds(road.stationPid()) - delayBefore;
    std::this_thread::sleep_for(road::kOperatorReaction);
    const size_t unplugMark = road.station().eventCount();
    road.unplug(id);
    road.waitForUnplugShown(unplugMark, kRoadLimit);
  }
  cost.wall /= settings.modules;
  cost.stationCpu /= settings.modules;
  cost.benchCpu /= settings.modules;
  cost.stationRunDelay /= settings.modules;
  cost.ok = true;
  return cost;
}

void measurePlatform(const Settings& settings, const std::string& platform) {
  const double s = std::max(settings.timeScale, road::smallestTimeScale(platform));
  const double size = settings.sizeScale;
  const RunCost base = measureRun(settings, platform, s, s, size);
  if (!base.ok) {
    std::printf("%-8s not measured: %s\n", platform.c_str(), base.error.c_str());
    return;
  }
  // Never a station slower than its bench: a station that reads a reply later than the module
  // takes to restart would see no reply (Qca8909's "at+bootedl").
  const RunCost slowBoth = measureRun(settings, platform, 2 * s, 2 * s, size);
  const RunCost slowBench = measureRun(settings, platform, s, 2 * s, size);
  const RunCost small = measureRun(settings, platform, s, s, size / 10);
  for (const RunCost* run : {&slowBoth, &slowBench, &small}) {
    if (!run->ok) {
      std::printf("%-8s not measured: %s\n", platform.c_str(), run->error.c_str());
      return;
    }
  }
  // Waits and delays at scale 1; what scales with neither is the rest.
  const double waits = (slowBoth.wall - slowBench.wall) / s;
  const double delays = (slowBench.wall - base.wall) / s;
  const double rest = base.wall - s * (waits + delays);
  const double transfers = base.benchCpu;
  const double ownWork = rest - transfers;
  const double cpu = (base.stationCpu + slowBoth.stationCpu + slowBench.stationCpu) / 3;
  // The station's CPU time is a + b x size; the run at a tenth of the size gives a.
  const double ownCpu = small.stationCpu - (base.stationCpu - small.stationCpu) / 9;
  // The wall time (at scale s) that grows with the firmware's size, in the same way.
  const double sizedWall = (base.wall - small.wall) * 10 / 9;
  const double roadAtScale1 = rest + waits + delays;
  std::printf("%-8s %8.2f %8.2f %8.2f %8.3f %8.2f %8.1f %8.1f %8.1f %8.1f %8.1f %8.2f%% %8.2f\n",
              platform.c_str(), base.wall, s * waits, s * delays, transfers, sizedWall,
              1000 * ownWork, 1000 * base.stationRunDelay, 1000 * cpu, 1000 * (cpu - ownCpu),
              1000 * ownCpu, 100 * cpu / roadAtScale1, roadAtScale1);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parseArguments(argc, argv, settings)) return 2;
  std::printf("road cost: %d modules per run, time scale %g, size scale %g\n", settings.modules,
              settings.timeScale, settings.sizeScale);
  std::printf("%-8s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s %9s %8s\n", "platform", "wall_s",
              "waits_s", "bench_s", "xfer_s", "sized_s", "own_ms", "queued", "cpu_ms", "xcpu_ms",
              "owncpu", "cpu_share", "road@1_s");
  for (const std::string& platform : settings.platforms) measurePlatform(settings, platform);
  return 0;
}
