// How several modules on one station share the machine: K modules (1, 2, 4, 8) are plugged
// into K hub ports of the bench at once, with as many DUT slots, and the wall time until every
// one shows "Update Success!" is measured at a fixed time scale, where the prescribed waits
// dominate. Beside each time: the station's and the bench's CPU time over it and their share of
// the machine's cores. Targets: 4 modules within 1.5x the time of one, 8 within 2.5x (the
// station-wide Sahara lock serialises only the programmer upload).
//
//   parallel [--platform P] [--counts 1,2,4,8] [--time-scale s] [--size-scale F] [--runs N]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/road/process_stats.h"
#include "bench/road/road.h"

namespace {

using nlohmann::json;

constexpr std::chrono::seconds kRoadLimit(900);

struct Settings {
  std::string platform = "Qca9x07";
  std::vector<int> counts = {1, 2, 4, 8};
  double timeScale = 0.05;
  double sizeScale = 0.01;
  int runs = 1;
};

struct Measure {
  bool ok = false;
  std::string error;
  double wall = 0;
  double stationCpu = 0;
  double benchCpu = 0;
};

bool parseCounts(const std::string& text, std::vector<int>& counts) {
  counts.clear();
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const int count = std::atoi(item.c_str());
    if (count < 1 || count > 8) return false;
    counts.push_back(count);
  }
  return !counts.empty();
}

bool parseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--platform" && hasValue) {
      settings.platform = argv[++i];
    } else if (arg == "--counts" && hasValue) {
      if (!parseCounts(argv[++i], settings.counts)) return false;
    } else if (arg == "--time-scale" && hasValue) {
      settings.timeScale = std::atof(argv[++i]);
    } else if (arg == "--size-scale" && hasValue) {
      settings.sizeScale = std::atof(argv[++i]);
    } else if (arg == "--runs" && hasValue) {
      settings.runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: parallel [--platform P] [--counts 1,2,4,8] [--time-scale s] "
                   "[--size-scale F] [--runs N]\n");
      return false;
    }
  }
  return settings.timeScale > 0 && settings.runs > 0;
}

// Waits until DUT `dut` ends its road after event `mark`; its success.
bool dutSucceeds(road::Road& road, size_t mark, int dut) {
  json end;
  const bool ended = road.station().waitForAfter(
      mark,
      [dut](const json& e) {
        if (e.value("dut", 0) != dut) return false;
        const bool success = e["event"] == "message" && e["text"] == "Update Success!";
        const bool failure =
            e["event"] == "status" && e["value"].is_number_integer() && e["value"].get<int>() < 0;
        return success || failure;
      },
      kRoadLimit, &end);
  return ended && end["event"] == "message";
}

Measure measure(const Settings& settings, int count) {
  Measure result;
  road::RoadOptions options;
  options.platform = settings.platform;
  options.timeScale = settings.timeScale;
  options.sizeScale = settings.sizeScale;
  options.dutCount = count;
  road::Road road(options);
  if (!road.error().empty()) {
    result.error = road.error();
    return result;
  }
  // Start has been pressed; let the station settle before the modules come.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double stationBefore = road::processCpuSeconds(road.stationPid());
  const double benchBefore = road::processCpuSeconds(road.benchPid());
  const size_t mark = road.station().eventCount();
  const auto started = std::chrono::steady_clock::now();
  for (int port = 1; port <= count; ++port) {
    if (road.plug({}, "", port).empty()) {
      result.error = road.error();
      return result;
    }
  }
  for (int dut = 1; dut <= count; ++dut) {
    if (!dutSucceeds(road, mark, dut)) {
      result.error = "DUT " + std::to_string(dut) + " did not end green, last message \"" +
                     road.station().lastMessage() + "\"";
      return result;
    }
  }
  result.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.stationCpu = road::processCpuSeconds(road.stationPid()) - stationBefore;
  result.benchCpu = road::processCpuSeconds(road.benchPid()) - benchBefore;
  result.ok = true;
  road.quitStation();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parseArguments(argc, argv, settings)) return 2;
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  std::printf("parallel: %s, time scale %g, size scale %g, %ld cores, best of %d\n",
              settings.platform.c_str(), settings.timeScale, settings.sizeScale, cores,
              settings.runs);
  std::printf("%7s %9s %9s %12s %12s %10s\n", "modules", "wall_s", "x_one", "station_cpu_s",
              "bench_cpu_s", "cpu_share");
  double one = 0;
  for (int count : settings.counts) {
    Measure best;
    for (int run = 0; run < settings.runs; ++run) {
      const Measure m = measure(settings, count);
      if (!m.ok) {
        best = m;
        break;
      }
      if (!best.ok || m.wall < best.wall) best = m;
    }
    if (!best.ok) {
      std::printf("%7d not measured: %s\n", count, best.error.c_str());
      std::fflush(stdout);
      continue;
    }
    if (count == 1) one = best.wall;
    const double share =
        (best.stationCpu + best.benchCpu) / (best.wall * static_cast<double>(cores));
    std::printf("%7d %9.2f %9s %12.2f %12.2f %9.1f%%\n", count, best.wall,
                one > 0 ? (std::to_string(best.wall / one).substr(0, 4) + "x").c_str() : "-",
                best.stationCpu, best.benchCpu, 100 * share);
    std::fflush(stdout);
  }
  return 0;
}
