#pragma once
// A fastboot device on a loopback TCP port, speaking the TCP framing of fastboot
// (fastboot/tcp_framing.h) around a FastbootDeviceModel. It serves one connection at a time,
// on its own thread, until it is destroyed.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "sim/fastboot_device/device_model.h"

namespace sim {

class TcpFastbootDevice {
 public:
  // Listens on 127.0.0.1 on a free port. `hello` is the 4-byte handshake answer ("FB01").
  explicit TcpFastbootDevice(std::string hello = "FB01");
  ~TcpFastbootDevice();
  TcpFastbootDevice(const TcpFastbootDevice&) = delete;
  TcpFastbootDevice& operator=(const TcpFastbootDevice&) = delete;

  uint16_t port() const { return port_; }
  // "tcp:127.0.0.1:<port>"
  std::string path() const;
  FastbootDeviceModel& model() { return *model_; }
  // Connections accepted so far.
  int connectionCount() const { return connections_; }

 private:
  void serve();
  void serveConnection(int fd);
  bool waitReadable(int fd);

  std::shared_ptr<FastbootDeviceModel> model_;
  std::string hello_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<int> connections_{0};
  std::thread thread_;
};

}  // namespace sim
