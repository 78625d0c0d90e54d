#pragma once
// A fastboot device in the same process: a transport link whose writes go straight to a
// FastbootDeviceModel and whose reads return its replies. Used by the throughput bench and by
// tests that need no sockets. A silent device makes reads time out (and be retried).

#include <deque>
#include <memory>
#include <string>

#include "fastboot/transport.h"
#include "sim/fastboot_device/device_model.h"

namespace sim {

class MemoryLink : public fastboot::UsbLink {
 public:
  explicit MemoryLink(std::shared_ptr<FastbootDeviceModel> model) : model_(std::move(model)) {}

  bool readDescriptors(fastboot::UsbDescriptors& d) override;
  bool readSerialNumber(std::string& serial) override;
  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override;
  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override;

 private:
  std::shared_ptr<FastbootDeviceModel> model_;
  std::deque<std::string> replies_;
  uint8_t bus_[4096];
  bool gone_ = false;
};

// An open transport to `model`, as if opened by path.
fb_transport* openMemoryTransport(std::shared_ptr<FastbootDeviceModel> model);

}  // namespace sim
