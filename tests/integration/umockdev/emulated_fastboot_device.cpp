#include "emulated_fastboot_device.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace umocktest {
namespace {

constexpr unsigned kEndpointIn = 0x81;
constexpr unsigned kEndpointOut = 0x01;

usbdevfs_urb& urbOf(UMockdevIoctlData* data) {
  return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The URB's buffer, resolved in the client; the caller releases it.
UMockdevIoctlData* bufferOf(UMockdevIoctlData* urb) {
  return umockdev_ioctl_data_resolve(urb, offsetof(usbdevfs_urb, buffer),
                                     static_cast<gsize>(urbOf(urb).buffer_length), nullptr);
}

// Resolves the structure an ioctl's argument points to and hands it to `use`.
template <typename T, typename Use>
bool withArgument(UMockdevIoctlData* arg, Use use) {
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(T), nullptr);
  if (!data) return false;
  use(*reinterpret_cast<T*>(data->data));
  g_object_unref(data);
  return true;
}

std::vector<uint8_t> stringDescriptor(const std::string& text) {
  std::vector<uint8_t> descriptor = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) descriptor.insert(descriptor.end(), {static_cast<uint8_t>(c), 0});
  return descriptor;
}

}  // namespace

EmulatedFastbootDevice::EmulatedFastbootDevice(std::string serial, uint16_t maxPacket)
    : serial_(std::move(serial)), maxPacket_(maxPacket) {
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(onIoctl), this);
  g_signal_connect(handler_, "client-vanished", G_CALLBACK(onClientGone), this);
}

EmulatedFastbootDevice::~EmulatedFastbootDevice() {
  // The handler stays until the program ends, attached to the node for as long as the testbed
  // keeps it; requests that still come find no device behind it.
  g_signal_handlers_disconnect_by_data(handler_, this);
  static std::mutex retiredMutex;
  static std::vector<UMockdevIoctlBase*> retired;
  {
    std::lock_guard lock(retiredMutex);
    retired.push_back(handler_);
  }
  std::lock_guard lock(mutex_);
  for (auto* queue : {&waitingIn_, &waitingOut_, &completed_}) {
    for (Urb& urb : *queue) g_object_unref(urb.data);
  }
}

int EmulatedFastbootDevice::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  auto* device = static_cast<EmulatedFastbootDevice*>(self);
  int error = 0;
  long result;
  {
    std::lock_guard lock(device->mutex_);
    result = device->handle(client, umockdev_ioctl_client_get_request(client),
                            umockdev_ioctl_client_get_arg(client), error);
  }
  umockdev_ioctl_client_complete(client, result, error);
  return TRUE;
}

// A handle closed without releasing its interface loses the claim, as the kernel does it.
void EmulatedFastbootDevice::onClientGone(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                          void* self) {
  auto* device = static_cast<EmulatedFastbootDevice*>(self);
  std::lock_guard lock(device->mutex_);
  if (device->claimant_ != client) return;
  device->claimant_ = nullptr;
  device->claimed_ = -1;
}

// One handle at a time holds the interface; another one is told it is busy.
long EmulatedFastbootDevice::claim(const void* client, unsigned number, int& error) {
  if (claimant_ && claimant_ != client) {
    error = EBUSY;
    return -1;
  }
  claimant_ = client;
  claimed_ = static_cast<int>(number);
  return 0;
}

long EmulatedFastbootDevice::handle(const void* client, unsigned long request,
                                    UMockdevIoctlData* arg, int& error) {
  if (gone_ && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
    error = ENODEV;
    return -1;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
      withArgument<uint32_t>(arg, [](uint32_t& caps) {
        caps = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
               USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      });
      return 0;
    case USBDEVFS_CLAIMINTERFACE: {
      unsigned number = 0;
      withArgument<unsigned>(arg, [&](unsigned& value) { number = value; });
      return claim(client, number, error);
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
      unsigned number = 0;
      withArgument<usbdevfs_disconnect_claim>(
          arg, [&](usbdevfs_disconnect_claim& request) { number = request.interface; });
      return claim(client, number, error);
    }
    case USBDEVFS_RELEASEINTERFACE:
      if (claimant_ == client) {
        claimant_ = nullptr;
        claimed_ = -1;
      }
      return 0;
    case USBDEVFS_SETINTERFACE:
      withArgument<usbdevfs_setinterface>(
          arg, [&](usbdevfs_setinterface& setting) { alternate_ = setting.altsetting; });
      return 0;
    case USBDEVFS_CLEAR_HALT:
      withArgument<unsigned>(arg, [&](unsigned& endpoint) {
        clearedHalts_.push_back(endpoint);
        halted_.erase(endpoint);
      });
      return 0;
    case USBDEVFS_SUBMITURB:
      return submit(client, arg, error);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return reap(client, arg, error);
    case USBDEVFS_DISCARDURB:
      return discard(client, arg, error);
    case USBDEVFS_GETDRIVER:
      error = ENODATA;  // no kernel driver holds the interface
      return -1;
    default:
      error = ENOTTY;
      return -1;
  }
}

long EmulatedFastbootDevice::submit(const void* client, UMockdevIoctlData* arg, int& error) {
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (!data) {
    error = EFAULT;
    return -1;
  }
  Urb urb{data, client};
  if (UMockdevIoctlData* buffer = bufferOf(data)) g_object_unref(buffer);
  const usbdevfs_urb& request = urbOf(data);
  if (request.type == USBDEVFS_URB_TYPE_CONTROL) {
    control(urb);
  } else if (halted_.count(request.endpoint)) {
    complete(urb, -EPIPE, 0);
  } else if (request.endpoint == kEndpointOut) {
    bulkOut(urb);
  } else if (request.endpoint == kEndpointIn) {
    bulkIn(urb);
  } else {
    g_object_unref(data);
    error = ENOENT;
    return -1;
  }
  return 0;
}

// Each open handle reaps only its own URBs, as each open file of usbfs has its own list.
long EmulatedFastbootDevice::reap(const void* client, UMockdevIoctlData* arg, int& error) {
  auto own = std::find_if(completed_.begin(), completed_.end(),
                          [&](const Urb& urb) { return urb.client == client; });
  if (own == completed_.end()) {
    error = gone_ ? ENODEV : EAGAIN;
    return -1;
  }
  Urb urb = *own;
  completed_.erase(own);
  // The reaped pointer is the client's own URB, which carries its results back with it.
  UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(out, 0, urb.data);
  g_object_unref(out);
  g_object_unref(urb.data);
  return 0;
}

long EmulatedFastbootDevice::discard(const void* client, UMockdevIoctlData* arg, int& error) {
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  for (auto* queue : {&waitingIn_, &waitingOut_}) {
    auto found = std::find_if(queue->begin(), queue->end(), [&](const Urb& urb) {
      return urb.client == client && urb.data->client_addr == address;
    });
    if (found == queue->end()) continue;
    Urb urb = *found;
    queue->erase(found);
    complete(urb, -ENOENT, 0);
    return 0;
  }
  error = EINVAL;  // already completed
  return -1;
}

// Endpoint 0 answers the string requests (language list, serial number); anything else stalls.
void EmulatedFastbootDevice::control(Urb urb) {
  UMockdevIoctlData* buffer = bufferOf(urb.data);
  uint8_t* setup = buffer->data;
  const int requested = setup[6] | setup[7] << 8;
  std::vector<uint8_t> answer;
  if (setup[0] == 0x80 && setup[1] == 0x06 && setup[3] == 0x03) {
    if (claimed_ < 0) serialUnclaimed_ = true;
    answer = setup[2] == 0 ? std::vector<uint8_t>{4, 3, 0x09, 0x04}
                           : stringDescriptor(setup[2] == 3 ? serial_ : "Fastboot");
  }
  const int length = std::min<int>(requested, static_cast<int>(answer.size()));
  if (length > 0) std::memcpy(setup + 8, answer.data(), static_cast<size_t>(length));
  g_object_unref(buffer);
  complete(urb, answer.empty() ? -EPIPE : 0, length);
}

void EmulatedFastbootDevice::bulkOut(Urb urb) {
  UMockdevIoctlData* buffer = bufferOf(urb.data);
  const size_t length = static_cast<size_t>(urbOf(urb.data).buffer_length);
  std::string bytes(reinterpret_cast<const char*>(buffer->data), length);
  g_object_unref(buffer);
  if (dataLeft_ == 0) {
    complete(urb, 0, static_cast<int>(length));
    command(bytes);
    return;
  }
  if (refuseData_) {
    waitingOut_.push_back(urb);
    return;
  }
  const size_t taken = std::min(length, dataLeft_);
  if (dataSeen_ + taken >= vanishAfter_) {
    waitingOut_.push_back(urb);
    vanish();
    return;
  }
  complete(urb, 0, static_cast<int>(taken));
  dataSizes_.push_back(taken);
  download_.append(bytes, 0, taken);
  dataSeen_ += taken;
  dataLeft_ -= taken;
  if (dataLeft_ == 0) replies_.push_back("OKAY");
  answerWaitingReads();
}

void EmulatedFastbootDevice::bulkIn(Urb urb) {
  waitingIn_.push_back(urb);
  answerWaitingReads();
}

void EmulatedFastbootDevice::command(const std::string& text) {
  commands_.push_back(text);
  for (const std::string& prefix : ignoredPrefixes_) {
    if (text.rfind(prefix, 0) == 0) return;
  }
  if (text.rfind("getvar:", 0) == 0) {
    auto found = variables_.find(text.substr(7));
    replies_.push_back(found == variables_.end() ? "FAILunknown variable" : "OKAY" + found->second);
  } else if (text.rfind("download:", 0) == 0) {
    dataLeft_ = std::stoul(text.substr(9), nullptr, 16);
    download_.clear();
    char reply[16];
    std::snprintf(reply, sizeof reply, "DATA%08zx", dataLeft_);
    replies_.push_back(reply);
    if (dataLeft_ == 0) replies_.push_back("OKAY");
  } else if (text.rfind("flash:", 0) == 0) {
    partitions_[text.substr(6)] = download_;
    replies_.push_back("OKAY");
  } else {
    replies_.push_back("OKAY");
  }
  answerWaitingReads();
}

// Hands replies to the IN transfers waiting for them, packet by packet as the wire does: a
// transfer ends with a short packet or a full buffer, and a packet larger than the room left in
// the buffer is an overflow.
void EmulatedFastbootDevice::answerWaitingReads() {
  while (!waitingIn_.empty() && !replies_.empty()) {
    Urb urb = waitingIn_.front();
    waitingIn_.pop_front();
    if (stallNext_) {
      stallNext_ = false;
      halted_.insert(kEndpointIn);
      replies_.pop_front();  // a halted endpoint's reply is lost
      complete(urb, -EPIPE, 0);
      continue;
    }
    std::string& reply = replies_.front();
    UMockdevIoctlData* buffer = bufferOf(urb.data);
    const size_t room = static_cast<size_t>(urbOf(urb.data).buffer_length);
    size_t moved = 0;
    int status = 0;
    for (;;) {
      const size_t packet = std::min<size_t>(maxPacket_, reply.size() - moved);
      if (packet > room - moved) {
        std::memcpy(buffer->data + moved, reply.data() + moved, room - moved);
        moved = room;
        status = -EOVERFLOW;
        reply.clear();
        break;
      }
      std::memcpy(buffer->data + moved, reply.data() + moved, packet);
      moved += packet;
      if (packet < maxPacket_ || moved == room) break;
    }
    g_object_unref(buffer);
    reply.erase(0, std::min(moved, reply.size()));
    if (reply.empty()) replies_.pop_front();
    complete(urb, status, static_cast<int>(moved));
  }
}

void EmulatedFastbootDevice::complete(Urb urb, int status, int actualLength) {
  usbdevfs_urb& request = urbOf(urb.data);
  request.status = status;
  request.actual_length = actualLength;
  completed_.push_back(urb);
}

// A disconnect: the transfers in flight end with ESHUTDOWN and stay reapable; nothing else
// works any more.
void EmulatedFastbootDevice::vanish() {
  gone_ = true;
  for (auto* queue : {&waitingIn_, &waitingOut_}) {
    for (Urb& urb : *queue) complete(urb, -ESHUTDOWN, 0);
    queue->clear();
  }
}

void EmulatedFastbootDevice::setVariable(const std::string& name, const std::string& value) {
  std::lock_guard lock(mutex_);
  variables_[name] = value;
}
void EmulatedFastbootDevice::ignoreCommands(const std::string& prefix) {
  std::lock_guard lock(mutex_);
  ignoredPrefixes_.push_back(prefix);
}
void EmulatedFastbootDevice::refuseData() {
  std::lock_guard lock(mutex_);
  refuseData_ = true;
}
void EmulatedFastbootDevice::stallNextReply() {
  std::lock_guard lock(mutex_);
  stallNext_ = true;
}
void EmulatedFastbootDevice::vanishAfterDataBytes(size_t bytes) {
  std::lock_guard lock(mutex_);
  vanishAfter_ = bytes;
}
void EmulatedFastbootDevice::vanishNow() {
  std::lock_guard lock(mutex_);
  vanish();
}
std::vector<std::string> EmulatedFastbootDevice::commands() {
  std::lock_guard lock(mutex_);
  return commands_;
}
std::map<std::string, std::string> EmulatedFastbootDevice::partitions() {
  std::lock_guard lock(mutex_);
  return partitions_;
}
std::vector<size_t> EmulatedFastbootDevice::dataTransferSizes() {
  std::lock_guard lock(mutex_);
  return dataSizes_;
}
std::vector<unsigned> EmulatedFastbootDevice::clearedHalts() {
  std::lock_guard lock(mutex_);
  return clearedHalts_;
}
int EmulatedFastbootDevice::claimedInterface() {
  std::lock_guard lock(mutex_);
  return claimed_;
}
int EmulatedFastbootDevice::alternateSetting() {
  std::lock_guard lock(mutex_);
  return alternate_;
}
bool EmulatedFastbootDevice::serialReadWhileUnclaimed() {
  std::lock_guard lock(mutex_);
  return serialUnclaimed_;
}
int EmulatedFastbootDevice::inTransfersWaiting() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(waitingIn_.size());
}

}  // namespace umocktest
