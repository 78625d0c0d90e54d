// fh_loader.exe (simulated): sends the images of a rawprogram XML (and the patches of a patch
// XML) to a module whose Firehose programmer runs.
//
//   fh_loader.exe --port=\\.\COMn --sendxml=RAWPROGRAM,PATCH --search_path=DIR [--noprompt]
//                 [--showpercentagecomplete] [--zlpawarehost=1] [--memoryname=nand]
//                 [--setactivepartition=0] [--reset]
//
// Output phrases the station reads: "{<program> FILE:  'name'}" as each image starts (the name
// begins 19 characters after the "{"), "{percent files transferred NN.NN%}", "{ERROR: ...}" and
// "{All Finished Successfully}".

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/bench/sha256.h"
#include "sim/tools/tool_support.h"

using namespace simtools;

namespace {

constexpr double kBytesPerSecond = 8.0 * 1024 * 1024;
constexpr size_t kPieceSize = 1024 * 1024;

struct Options {
  unsigned com = 0;
  std::string rawprogram;
  std::string patch;
  std::string searchPath = ".";
  bool reset = false;
};

struct ProgramEntry {
  std::string label;
  std::string file;
};

int failed(const std::string& why) {
  say("{ERROR: " + why + " }");
  return 1;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = cleanArgument(argv[i]);
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? "" : cleanArgument(word.substr(equals + 1));
    if (name == "--port") options.com = comNumberIn(value);
    if (name == "--search_path") options.searchPath = value;
    if (name == "--reset") options.reset = true;
    if (name == "--sendxml") {
      const size_t comma = value.find(',');
      options.rawprogram = value.substr(0, comma);
      if (comma != std::string::npos) options.patch = value.substr(comma + 1);
    }
  }
  return options.com != 0 && !options.rawprogram.empty();
}

std::string attribute(const std::string& element, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t at = element.find(key);
  if (at == std::string::npos) return "";
  const size_t end = element.find('"', at + key.size());
  return end == std::string::npos ? "" : element.substr(at + key.size(), end - at - key.size());
}

// The <program .../> entries of a rawprogram file that name an image.
bool readProgramList(const std::string& path, std::vector<ProgramEntry>& entries) {
  std::ifstream file(path);
  if (!file) return false;
  std::stringstream text;
  text << file.rdbuf();
  const std::string xml = text.str();
  for (size_t at = 0; (at = xml.find("<program ", at)) != std::string::npos;) {
    const size_t end = xml.find('>', at);
    if (end == std::string::npos) break;
    const std::string element = xml.substr(at, end - at);
    ProgramEntry entry{attribute(element, "label"), attribute(element, "filename")};
    if (!entry.file.empty()) entries.push_back(entry);
    at = end;
  }
  return true;
}

std::string inSearchPath(const Options& options, const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return options.searchPath + "/" + name;
}

uint64_t fileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return file ? static_cast<uint64_t>(file.tellg()) : 0;
}

std::string percentLine(uint64_t done, uint64_t total) {
  char text[64];
  std::snprintf(text, sizeof text, "{percent files transferred %6.2f%%}",
                total ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0);
  return text;
}

// Sends one image; false with the reason when the module refuses it or goes away.
bool sendImage(const Options& options, const ProgramEntry& entry, uint64_t& done, uint64_t total,
               bool faulty, std::string& why) {
  const std::string path = inSearchPath(options, entry.file);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    why = "Could not find file '" + entry.file + "'";
    return false;
  }
  say("{<program> FILE:  '" + entry.file + "'}");
  nlohmann::json reply;
  // The partition is written as its bytes arrive: from here on it holds no whole image.
  if (!askBench("partition-begin", options.com, reply,
                {{"name", entry.label}, {"via", "firehose"}})) {
    why = "Write of '" + entry.label + "' refused: " + reply.value("error", "no answer");
    return false;
  }
  sim::Sha256 hash;
  uint64_t size = 0;
  std::vector<char> piece(kPieceSize);
  for (;;) {
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const size_t got = static_cast<size_t>(file.gcount());
    if (got == 0) break;
    hash.update(piece.data(), got);
    size += got;
    done += got;
    pace(static_cast<double>(got) / kBytesPerSecond);
    sim::Sha256 soFar = hash;
    if (!askBench("transfer", options.com, reply,
                  {{"stage", "cp"},
                   {"done", done},
                   {"total", total},
                   {"partition", entry.label},
                   {"written", size},
                   {"sha256", soFar.hexDigest()},
                   {"via", "firehose"}})) {
      why = "Target did not respond, COM port closed";
      return false;
    }
    if (faulty && done * 2 >= total) {
      why = "Failed to write '" + entry.label + "' at sector 0";
      return false;
    }
    say(percentLine(done, total));
  }
  if (!askBench("partition", options.com, reply,
                {{"name", entry.label},
                 {"size", size},
                 {"sha256", hash.hexDigest()},
                 {"via", "firehose"}})) {
    why = "Write of '" + entry.label + "' refused: " + reply.value("error", "no answer");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: fh_loader.exe --port=\\\\.\\COMn --sendxml=RAW,PATCH "
                 "--search_path=DIR [--reset]\n");
    return 2;
  }
  say("Base Version: 19.03.14.09.26.53");
  say("Using port \\\\.\\COM" + std::to_string(options.com));
  nlohmann::json reply;
  askBench("faults", options.com, reply);
  const bool faulty = reply.value("firehoseError", false);
  const bool hangs = reply.value("firehoseHang", false);
  if (reply.value("toolHang", false)) {
    say("Sending <configure>");
    hangForever();
  }
  if (!askBench("port", options.com, reply) || reply.value("role", "") != "edl") {
    return failed("Could not open port \\\\.\\COM" + std::to_string(options.com));
  }
  std::vector<ProgramEntry> entries;
  if (!readProgramList(inSearchPath(options, options.rawprogram), entries)) {
    return failed("Could not read '" + options.rawprogram + "'");
  }
  uint64_t total = 0;
  for (const ProgramEntry& entry : entries) total += fileSize(inSearchPath(options, entry.file));
  say("Sending <configure> MemoryName=nand");
  uint64_t done = 0;
  if (!askBench("transfer", options.com, reply, {{"stage", "cp"}, {"done", 0}, {"total", total}})) {
    return failed("Target did not respond, COM port closed");
  }
  for (const ProgramEntry& entry : entries) {
    std::string why;
    if (!sendImage(options, entry, done, total, faulty, why)) return failed(why);
    if (hangs) hangForever();
  }
  if (!options.patch.empty()) say("{patches of '" + options.patch + "' applied}");
  say("{set active partition 0}");
  if (options.reset) {
    say("Sending <power value=\"reset\"/>");
    // The module restarts into the firmware just written (a backup firmware on the qmbn road).
    askBench("reset", options.com, reply, {{"firmware", options.rawprogram}});
  }
  say("{All Finished Successfully}");
  return 0;
}
