#pragma once
// Shared pieces of the fastboot tests: a surface that records what the operator would see, a
// transport link whose transfers are scripted, and a scratch folder for image files. Every
// test program that links this runs in its own temporary working directory with a tiny
// ZENDRAL_TIME_SCALE, so DUT logs and waits stay out of the way.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fastboot/usb_link.h"
#include "host/operator_surface.h"
#include "support/recording_surface.h"

namespace fbtest {

// The recording surface, installed for as long as it lives.
class RecordingSurface : public test_support::RecordingSurface {
 public:
  RecordingSurface() { previous_ = host::installSurface(this); }
  ~RecordingSurface() override { host::installSurface(previous_); }

 private:
  host::OperatorSurface* previous_;
};

// What a scripted link did and will do; shared between the test and the link the transport
// owns.
struct LinkScript {
  struct Transfer {
    bool write;
    size_t length;
    unsigned timeoutMs;
  };
  struct Result {
    Result(long moved, int error = 0, std::string bytes = {})
        : moved(moved), error(error), bytes(std::move(bytes)) {}
    long moved;         // bytes moved, or -1
    int error;          // with -1
    std::string bytes;  // for reads
  };
  fastboot::UsbDescriptors descriptors;
  bool descriptorsReadable = true;
  bool serialReadable = true;
  std::string serial = "SERIAL1";
  std::deque<Result> writes;  // empty: every write moves everything
  std::deque<Result> reads;   // empty: every read times out
  std::vector<Transfer> transfers;
  std::string written;
  bool destroyed = false;
};

std::shared_ptr<LinkScript> fastbootInterfaceScript();

class ScriptedLink : public fastboot::UsbLink {
 public:
  explicit ScriptedLink(std::shared_ptr<LinkScript> script) : s_(std::move(script)) {}
  ~ScriptedLink() override { s_->destroyed = true; }
  bool readDescriptors(fastboot::UsbDescriptors& d) override;
  bool readSerialNumber(std::string& serial) override;
  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override;
  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override;

 private:
  std::shared_ptr<LinkScript> s_;
};

// A file of `size` bytes whose content depends on `seed`, in the working directory.
std::string writeImage(const std::string& name, size_t size, unsigned seed = 1);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace fbtest
