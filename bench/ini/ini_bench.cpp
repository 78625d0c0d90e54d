// Reads a generated 50 MB INI file (1,000,000 items) with the store and with inih storing the
// same items into a vector, and gets every item of files of two sizes, once with many small
// sections and once with a few sections of up to 100,000 items, to show that the cost of a
// lookup does not grow with the file. Prints both read times, their ratio and the cost per
// lookup.

#include <ini.h>
#include <stdlib.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ini/inifile.h"

namespace {

struct Shape {
  int sections;
  int itemsPerSection;
  double items() const { return static_cast<double>(sections) * itemsPerSection; }
};

constexpr Shape kReadShape{1000, 1000};
constexpr Shape kManySections[] = {{250, 1000}, {1000, 1000}};
constexpr Shape kLargeSections[] = {{10, 25000}, {10, 100000}};

std::string gFolder;

std::string sectionName(int s) {
  return "Section" + std::to_string(s);
}

std::string itemName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "Item%06d", i);
  return name;
}

// About 50 bytes a line: "Item000123 = value-000042-000123-abcdefghijklmnopqrs\r\n".
std::string generateFile(Shape shape) {
  std::string path = gFolder + "/items-" + std::to_string(shape.sections) + "x" +
                     std::to_string(shape.itemsPerSection) + ".ini";
  FILE* out = std::fopen(path.c_str(), "wb");
  for (int s = 0; s < shape.sections; ++s) {
    std::fprintf(out, "[%s]\r\n", sectionName(s).c_str());
    for (int i = 0; i < shape.itemsPerSection; ++i) {
      std::fprintf(out, "%s = value-%06d-%06d-abcdefghijklmnopqrs\r\n", itemName(i).c_str(), s, i);
    }
  }
  std::fclose(out);
  return path;
}

const std::string& fileOf(Shape shape) {
  static std::map<std::pair<int, int>, std::string> files;
  auto key = std::make_pair(shape.sections, shape.itemsPerSection);
  auto found = files.find(key);
  if (found == files.end()) found = files.emplace(key, generateFile(shape)).first;
  return found->second;
}

void BM_ReadStore(benchmark::State& state) {
  const std::string& path = fileOf(kReadShape);
  for (auto _ : state) {
    IniDocumentPtr doc(Ini_New(0));
    if (Ini_ReadFromFile(doc.get(), path.c_str()) != 0) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}

struct ParsedItem {
  std::string section;
  std::string name;
  std::string value;
};

int storeItem(void* user, const char* section, const char* name, const char* value) {
  static_cast<std::vector<ParsedItem>*>(user)->push_back({section, name, value});
  return 1;
}

void BM_ReadInih(benchmark::State& state) {
  const std::string& path = fileOf(kReadShape);
  for (auto _ : state) {
    std::vector<ParsedItem> items;
    if (ini_parse(path.c_str(), storeItem, &items) != 0) state.SkipWithError("inih failed");
    benchmark::DoNotOptimize(items.data());
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}

void BM_GetEveryItem(benchmark::State& state) {
  Shape shape{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
  IniDocumentPtr doc(Ini_New(0));
  Ini_ReadFromFile(doc.get(), fileOf(shape).c_str());
  std::vector<std::string> sectionNames, itemNames;
  for (int s = 0; s < shape.sections; ++s) sectionNames.push_back(sectionName(s));
  for (int i = 0; i < shape.itemsPerSection; ++i) itemNames.push_back(itemName(i));
  char buffer[256];
  auto getEveryItem = [&] {
    for (const std::string& section : sectionNames) {
      for (const std::string& item : itemNames) {
        if (Ini_GetStringIntoBuffer(doc.get(), section.c_str(), item.c_str(), buffer,
                                    sizeof buffer) != 1) {
          state.SkipWithError("item missing");
        }
      }
    }
  };
  getEveryItem();  // the first lookup in a section builds its index; time the lookups alone
  for (auto _ : state) getEveryItem();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(shape.items()));
}

std::string getName(Shape shape) {
  return "BM_GetEveryItem/" + std::to_string(shape.sections) + "/" +
         std::to_string(shape.itemsPerSection) + "/iterations:5";
}

void registerBenchmarks() {
  benchmark::RegisterBenchmark("BM_ReadStore", BM_ReadStore)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark("BM_ReadInih", BM_ReadInih)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  auto* get = benchmark::RegisterBenchmark("BM_GetEveryItem", BM_GetEveryItem);
  for (const Shape& shape : kManySections) get->Args({shape.sections, shape.itemsPerSection});
  for (const Shape& shape : kLargeSections) get->Args({shape.sections, shape.itemsPerSection});
  get->Unit(benchmark::kMillisecond)->Iterations(5);
}

// Keeps the time of each benchmark to print the comparison at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  RecordingReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) milliseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> milliseconds;
};

void printGrowth(const char* label, const Shape (&shapes)[2],
                 const std::map<std::string, double>& ms) {
  auto small = ms.find(getName(shapes[0]));
  auto large = ms.find(getName(shapes[1]));
  if (small == ms.end() || large == ms.end()) return;
  std::printf(
      "get every item, %s: %.0f items %.1f ms (%.0f ns/item), %.0f items %.1f ms "
      "(%.0f ns/item); %.2fx the time for %.0fx the items\n",
      label, shapes[0].items(), small->second, small->second * 1e6 / shapes[0].items(),
      shapes[1].items(), large->second, large->second * 1e6 / shapes[1].items(),
      large->second / small->second, shapes[1].items() / shapes[0].items());
}

void printSummary(const std::map<std::string, double>& ms) {
  auto ours = ms.find("BM_ReadStore/iterations:5");
  auto inih = ms.find("BM_ReadInih/iterations:5");
  if (ours != ms.end() && inih != ms.end()) {
    std::printf("\nread %.0f items: store %.1f ms, inih %.1f ms, ratio %.2f (target <= 1.50)\n",
                kReadShape.items(), ours->second, inih->second, ours->second / inih->second);
  }
  printGrowth("1000-item sections", kManySections, ms);
  printGrowth("10 large sections", kLargeSections, ms);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/ini-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  gFolder = pattern;
  registerBenchmarks();
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  printSummary(reporter.milliseconds);
  std::filesystem::remove_all(gFolder);
  return 0;
}
