#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/device_directory.h"
#include "host/process_killer.h"

namespace fuzz {
namespace {

namespace fs = std::filesystem;

std::string gWorkFolder;
host::ScriptedDeviceDirectory gDevices;

}  // namespace

void prepareProcess(const char* targetName) {
  // Read once by the clock; set before anything asks for it.
  setenv("ZENDRAL_TIME_SCALE", "0", 1);
  std::string pattern =
      (fs::temp_directory_path() / "zendral-fuzz-").string() + targetName + "-XXXXXX";
  if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) {
    std::perror("fuzz: cannot make a working folder");
    std::abort();
  }
  gWorkFolder = pattern;
  fs::create_directory("Platform");
  for (int dut = 1; dut <= 8; ++dut) {
    fs::create_symlink("/dev/null", "Dut" + std::to_string(dut) + ".log");
  }
  host::installDeviceDirectory(&gDevices);
  static host::RecordingProcessKiller killer;
  host::installProcessKiller(&killer);
}

host::ScriptedDeviceDirectory& devices() {
  return gDevices;
}

const std::string& workFolder() {
  return gWorkFolder;
}

std::vector<std::string_view> records(const uint8_t* data, size_t size, size_t limit) {
  std::vector<std::string_view> out;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (out.size() < limit) {
    const size_t end = rest.find(kRecordSeparator);
    out.push_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return out;
}

bool writeFile(const std::string& path, std::string_view contents) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return static_cast<bool>(file);
}

void emptyFolder(const std::string& folder) {
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

}  // namespace fuzz
