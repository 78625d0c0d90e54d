// A long shift of one headless station on the virtual bench: N modules pass one after another
// through the whole road (plug, the running station takes it, "Update Success!", unplug).
// Every 10th module (--fault-every) carries a fault from a rotating list; its road must end red,
// and the same module replugged without the fault must then succeed. Every 50 modules (and after
// the last) the station's open descriptors, threads, child processes and resident memory are
// sampled. Verdict: after the first 50 modules none of the counts grows, and resident memory grows
// by less than 2 MiB over the rest of the run.
//
//   soak [--modules N] [--fault-every N] [--platform P] [--time-scale F] [--size-scale F] [--keep]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/road/process_stats.h"
#include "bench/road/road.h"

namespace {

using road::Outcome;

constexpr int kSampleEvery = 50;
constexpr int64_t kRssGrowthLimitKiB = 2048;
constexpr int kReadingsPerSample = 5;
constexpr std::chrono::milliseconds kReadingGap(250);
constexpr std::chrono::seconds kRoadLimit(600);
// "Device unplug." follows a pull within moments; a minute is a hang.
constexpr std::chrono::seconds kUnplugLimit(60);

struct Settings {
  int modules = 500;
  int faultEvery = 10;  // a short run with a small value meets every fault of the rotation
  road::RoadOptions road;
};

struct Sample {
  int modules = 0;
  road::ProcessStats stats;
};

// How the faulted modules of one kind went.
struct FaultTally {
  int red = 0;         // ended red, then succeeded replugged without the fault
  int noEffect = 0;    // the road succeeded in spite of the fault
  int unexpected = 0;  // no result, or no success after the replug
};

bool parseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--modules" && hasValue) {
      settings.modules = std::atoi(argv[++i]);
    } else if (arg == "--fault-every" && hasValue) {
      settings.faultEvery = std::atoi(argv[++i]);
    } else if (arg == "--platform" && hasValue) {
      settings.road.platform = argv[++i];
    } else if (arg == "--time-scale" && hasValue) {
      settings.road.timeScale = std::atof(argv[++i]);
    } else if (arg == "--size-scale" && hasValue) {
      settings.road.sizeScale = std::atof(argv[++i]);
    } else if (arg == "--keep") {
      settings.road.keepFolder = true;
    } else {
      std::fprintf(stderr,
                   "usage: soak [--modules N] [--fault-every N] [--platform P] [--time-scale F] "
                   "[--size-scale F] [--keep]\n");
      return false;
    }
  }
  return settings.modules > 0 && settings.faultEvery > 0;
}

// The faults of the rotation that the platform's road can meet.
std::vector<std::string> faultRotation(const road::Road& road) {
  std::vector<std::string> faults = {"at-silent", "switch-refused", "fastboot-fail:boot",
                                     "unplug:ap:50"};
  if (road.platformHasTools()) faults.push_back("tool-hang");
  return faults;
}

std::string imeiOf(int module) {
  char text[16];
  std::snprintf(text, sizeof text, "35%013d", module);
  return text;
}

// One module's road from plug to "Device unplug."; the outcome of the road.
Outcome passModule(road::Road& road, int module, const std::vector<std::string>& faults) {
  const size_t mark = road.station().eventCount();
  const std::string id = road.plug(faults, imeiOf(module));
  if (id.empty()) return Outcome::kNoResult;
  const Outcome outcome = road.waitForEnd(mark, kRoadLimit);
  std::this_thread::sleep_for(road::kOperatorReaction);
  road.unplug(id);
  // A module that a fault pulled in the middle of its run left while its slot was busy, and
  // the station shows no "Device unplug." for that; every other module must be shown pulled.
  const bool pulledByFault = !faults.empty() && faults[0].rfind("unplug", 0) == 0;
  if (!pulledByFault && !road.waitForUnplugShown(mark, kUnplugLimit)) {
    std::printf("module %d: no \"Device unplug.\" after the pull\n", module);
    return Outcome::kNoResult;
  }
  return outcome;
}

void printSample(const Sample& s) {
  std::printf("%8d %6d %8d %9d %10lld %8.2f\n", s.modules, s.stats.descriptors, s.stats.threads,
              s.stats.children, static_cast<long long>(s.stats.rssKiB), s.stats.cpuSeconds);
  std::fflush(stdout);
}

// The station's background work (the run records' delivery to their database) holds a
// descriptor or a thread for a moment after a road; a leak holds it for good. So the counts are
// the smallest of a few readings over a second.
bool sample(road::Road& road, int modules, std::vector<Sample>& samples) {
  Sample s;
  s.modules = modules;
  if (!road::readProcessStats(road.stationPid(), s.stats)) return false;
  for (int reading = 1; reading < kReadingsPerSample; ++reading) {
    std::this_thread::sleep_for(kReadingGap);
    road::ProcessStats again;
    if (!road::readProcessStats(road.stationPid(), again)) return false;
    s.stats.descriptors = std::min(s.stats.descriptors, again.descriptors);
    s.stats.threads = std::min(s.stats.threads, again.threads);
    s.stats.children = std::min(s.stats.children, again.children);
    s.stats.rssKiB = again.rssKiB;
    s.stats.cpuSeconds = again.cpuSeconds;
  }
  samples.push_back(s);
  printSample(s);
  return true;
}

// The verdict on the samples: nothing grows after the one at kSampleEvery modules.
bool resourcesHold(const std::vector<Sample>& samples, std::string& why) {
  const Sample* base = nullptr;
  for (const Sample& s : samples) {
    if (s.modules == kSampleEvery) base = &s;
  }
  if (!base) {
    why = "fewer than " + std::to_string(kSampleEvery) + " modules: nothing to compare";
    return true;
  }
  bool holds = true;
  for (const Sample& s : samples) {
    if (s.modules <= base->modules) continue;
    if (s.stats.descriptors > base->stats.descriptors || s.stats.threads > base->stats.threads ||
        s.stats.children > base->stats.children) {
      why += "counts grew by module " + std::to_string(s.modules) + "; ";
      holds = false;
    }
  }
  const int64_t growth = samples.back().stats.rssKiB - base->stats.rssKiB;
  if (growth >= kRssGrowthLimitKiB) {
    why += "resident memory grew by " + std::to_string(growth) + " KiB; ";
    holds = false;
  }
  if (holds) why = "resident memory grew by " + std::to_string(growth) + " KiB after module 50";
  return holds;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parseArguments(argc, argv, settings)) return 2;
  road::Road road(settings.road);
  if (!road.error().empty()) {
    std::fprintf(stderr, "soak: %s\n", road.error().c_str());
    return 1;
  }
  std::printf("soak: %d modules on %s, time scale %g, size scale %g, in %s\n", settings.modules,
              settings.road.platform.c_str(), road.timeScale(), settings.road.sizeScale,
              road.folder().c_str());
  std::printf("%8s %6s %8s %9s %10s %8s\n", "modules", "fds", "threads", "children", "rss_kib",
              "cpu_s");
  const std::vector<std::string> rotation = faultRotation(road);
  std::map<std::string, FaultTally> tallies;
  std::vector<Sample> samples;
  int successes = 0, failures = 0, faultTurn = 0;
  const auto started = std::chrono::steady_clock::now();
  sample(road, 0, samples);
  for (int module = 1; module <= settings.modules; ++module) {
    if (module % settings.faultEvery == 0) {
      const std::string fault = rotation[faultTurn++ % rotation.size()];
      FaultTally& tally = tallies[fault];
      const Outcome faulted = passModule(road, module, {fault});
      const Outcome replugged =
          faulted == Outcome::kNoResult ? faulted : passModule(road, module, {});
      if (faulted == Outcome::kFailure && replugged == Outcome::kSuccess) {
        ++tally.red;
      } else if (faulted == Outcome::kSuccess) {
        ++tally.noEffect;
      } else {
        ++tally.unexpected;
        ++failures;
        std::printf("module %d (%s): %s, replugged: %s; last message \"%s\"\n", module,
                    fault.c_str(), road::outcomeText(faulted), road::outcomeText(replugged),
                    road.station().lastMessage().c_str());
      }
    } else if (passModule(road, module, {}) == Outcome::kSuccess) {
      ++successes;
    } else {
      ++failures;
      std::printf("module %d: no success; last message \"%s\"\n", module,
                  road.station().lastMessage().c_str());
    }
    if ((module % kSampleEvery == 0 || module == settings.modules) &&
        !sample(road, module, samples)) {
      std::printf("soak: the station has ended\n");
      return 1;
    }
  }
  const double minutes =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 60.0;
  std::printf("healthy modules: %d succeeded, %d did not; %.1f minutes\n", successes, failures,
              minutes);
  for (const auto& [fault, t] : tallies) {
    std::printf("fault %-20s red then success %d, no effect %d, unexpected %d\n", fault.c_str(),
                t.red, t.noEffect, t.unexpected);
  }
  std::string why;
  const bool holds = resourcesHold(samples, why);
  const int exitCode = road.quitStation();
  const bool pass = holds && failures == 0 && exitCode == 0;
  std::printf("verdict: %s (%s; station exit %d)\n", pass ? "PASS" : "FAIL", why.c_str(), exitCode);
  return pass ? 0 : 1;
}
