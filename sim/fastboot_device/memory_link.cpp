#include "sim/fastboot_device/memory_link.h"

#include <algorithm>
#include <cstring>

namespace sim {

bool MemoryLink::readDescriptors(fastboot::UsbDescriptors& d) {
  d = fastboot::moduleFastbootDescriptors();
  return true;
}

bool MemoryLink::readSerialNumber(std::string& serial) {
  serial = "memory";
  return true;
}

long MemoryLink::bulkWrite(const uint8_t* data, size_t length, unsigned, int& error) {
  if (gone_) {
    error = kUsbErrorInvalidHandle;
    return -1;
  }
  // Like a USB stack, take a copy of each piece before handing it on.
  size_t copied = std::min(length, sizeof bus_);
  std::memcpy(bus_, data, copied);
  FastbootDeviceModel::Output out = model_->onMessage(data, length);
  for (std::string& packet : out.packets) replies_.push_back(std::move(packet));
  if (out.disconnect) gone_ = true;
  return static_cast<long>(length);
}

long MemoryLink::bulkRead(uint8_t* buffer, size_t length, unsigned, int& error) {
  if (replies_.empty()) {
    error = gone_ ? kUsbErrorInvalidHandle : kUsbErrorTimeout;
    return -1;
  }
  // A reply longer than the read is returned by the following reads.
  std::string& front = replies_.front();
  size_t take = std::min(length, front.size());
  std::memcpy(buffer, front.data(), take);
  if (take == front.size()) {
    replies_.pop_front();
  } else {
    front.erase(0, take);
  }
  return static_cast<long>(take);
}

fb_transport* openMemoryTransport(std::shared_ptr<FastbootDeviceModel> model) {
  return usb_adopt_link(std::make_unique<MemoryLink>(std::move(model)), "memory");
}

}  // namespace sim
