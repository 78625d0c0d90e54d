#include "fastboot/bench_transport.h"

#include <cerrno>
#include <memory>

#include "fastboot/backends.h"
#include "fastboot/usb_tcp.h"
#include "host/bench_client.h"

namespace fastboot {
namespace {

// The TCP link of a bench module, reporting the module's own serial number.
class BenchLink : public UsbLink {
 public:
  BenchLink(std::unique_ptr<UsbLink> tcp, std::string serial)
      : tcp_(std::move(tcp)), serial_(std::move(serial)) {}

  bool readDescriptors(UsbDescriptors& descriptors) override {
    return tcp_->readDescriptors(descriptors);
  }
  bool readSerialNumber(std::string& serial) override {
    serial = serial_;
    return true;
  }
  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override {
    return tcp_->bulkWrite(data, length, timeoutMs, error);
  }
  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override {
    return tcp_->bulkRead(buffer, length, timeoutMs, error);
  }

 private:
  std::unique_ptr<UsbLink> tcp_;
  std::string serial_;
};

// "bench-<id>" out of the interface path.
std::string instanceOf(const std::string& path) {
  const size_t start = sizeof kBenchPathPrefix - 1 - std::string("bench-").size();
  const size_t end = path.find('#', start);
  return path.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

void registerBenchBackend(const std::string& socketPath) {
  Backend backend;
  backend.prefix = kBenchPathPrefix;
  backend.enumerate = [socketPath] {
    std::vector<std::string> paths;
    nlohmann::json reply;
    std::string error;
    if (!host::benchRequest(socketPath, {{"cmd", "ports"}}, reply, error)) return paths;
    for (const auto& path : reply.value("usb", nlohmann::json::array())) {
      if (path.is_string()) paths.push_back(path.get<std::string>());
    }
    return paths;
  };
  backend.open = [socketPath](const std::string& path, int& error) -> std::unique_ptr<UsbLink> {
    nlohmann::json reply;
    std::string why;
    if (!host::benchRequest(socketPath, {{"cmd", "fastboot-port"}, {"path", path}}, reply, why) ||
        !host::benchReplyOk(reply) || !reply.value("port", nlohmann::json()).is_number_integer()) {
      error = ENODEV;  // no such device on the bench (any more)
      return nullptr;
    }
    const std::string tcpPath = "tcp:127.0.0.1:" + std::to_string(reply["port"].get<int>());
    std::shared_ptr<const Backend> tcp = backendFor(tcpPath);
    if (!tcp || !tcp->open) {
      error = ENODEV;
      return nullptr;
    }
    std::unique_ptr<UsbLink> link = tcp->open(tcpPath, error);
    if (!link) return nullptr;
    return std::make_unique<BenchLink>(std::move(link), instanceOf(path));
  };
  // The module's id is its serial number; reading it needs no connection to the module.
  backend.serialNumber = [](const std::string& path, std::string& serial) {
    serial = instanceOf(path);
    return !serial.empty();
  };
  registerBackend(std::move(backend));
}

bool registerBenchBackendFromEnvironment() {
  const std::string socket = host::benchSocketPath();
  if (socket.empty()) return false;
  registerBenchBackend(socket);
  return true;
}

}  // namespace fastboot
