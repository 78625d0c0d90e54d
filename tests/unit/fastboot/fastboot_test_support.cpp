#include "fastboot_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "support/temporary_folder.h"

namespace fbtest {
namespace {

// Runs the whole program in a fresh temporary folder with scaled-down waits.
class ScratchFolder : public ::testing::Environment {
 public:
  void SetUp() override { folder_.emplace("zendral-fastboot"); }
  void TearDown() override { folder_.reset(); }

 private:
  std::optional<test_support::WorkingFolder> folder_;
};

const bool kInstalled = [] {
  setenv("ZENDRAL_TIME_SCALE", "0.001", 1);
  ::testing::AddGlobalTestEnvironment(new ScratchFolder);
  return true;
}();

}  // namespace

std::shared_ptr<LinkScript> fastbootInterfaceScript() {
  auto script = std::make_shared<LinkScript>();
  script->descriptors = fastboot::moduleFastbootDescriptors();
  return script;
}

bool ScriptedLink::readDescriptors(fastboot::UsbDescriptors& d) {
  d = s_->descriptors;
  return s_->descriptorsReadable;
}

bool ScriptedLink::readSerialNumber(std::string& serial) {
  serial = s_->serial;
  return s_->serialReadable;
}

long ScriptedLink::bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) {
  s_->transfers.push_back({true, length, timeoutMs});
  long moved = static_cast<long>(length);
  if (!s_->writes.empty()) {
    LinkScript::Result r = s_->writes.front();
    s_->writes.pop_front();
    if (r.moved < 0) {
      error = r.error;
      return -1;
    }
    moved = std::min<long>(r.moved, static_cast<long>(length));
  }
  s_->written.append(reinterpret_cast<const char*>(data), static_cast<size_t>(moved));
  return moved;
}

long ScriptedLink::bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) {
  s_->transfers.push_back({false, length, timeoutMs});
  if (s_->reads.empty()) {
    error = kUsbErrorTimeout;
    return -1;
  }
  LinkScript::Result r = s_->reads.front();
  s_->reads.pop_front();
  if (r.moved < 0) {
    error = r.error;
    return -1;
  }
  size_t n = std::min(length, r.bytes.size());
  std::memcpy(buffer, r.bytes.data(), n);
  return static_cast<long>(n);
}

std::string writeImage(const std::string& name, size_t size, unsigned seed) {
  // Eight pseudo-random bytes per step keep large images quick to make in debug builds.
  std::vector<uint64_t> words(size / 8 + 1);
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (uint64_t& w : words) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    w = x;
  }
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(words.data()), size);
  return std::filesystem::absolute(name).string();
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace fbtest
