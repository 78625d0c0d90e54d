#include "host/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

#include "host/clock.h"
#include "host/device_directory.h"

namespace host {
namespace {

// Every wait polls in slices this long, so that a stop or a cancel ends it promptly.
constexpr int kSliceMs = 20;
// Scaling never shortens a serial time-out below this (see effectiveComTimeoutMs).
constexpr int64_t kMinScaledTimeoutMs = 250;
constexpr double kDefaultTimeoutSeconds = 10.0;

struct BaudRate {
  long rate;
  speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool baudCode(long rate, speed_t* code) {
  for (const BaudRate& entry : kBaudRates) {
    if (entry.rate == rate) {
      *code = entry.code;
      return true;
    }
  }
  return false;
}

// Errors that mean the tty itself is gone (unplugged module, closed pty peer).
bool meansVanished(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

}  // namespace

const char* comErrorText(int result) {
  switch (result) {
    case kComSystemError:
      return "system error";
    case kComInvalidPort:
      return "invalid port number";
    case kComNotOpen:
      return "port is not open";
    case kComIoError:
      return "port failed or vanished";
    case kComNoSuchPort:
      return "no such port";
    case kComCannotOpen:
      return "cannot open port";
    case kComBadParameter:
      return "invalid parameter";
    case kComBadBaudRate:
      return "invalid baud rate";
    case kComBadFrameFormat:
      return "invalid parity, data bits or stop bits";
    default:
      return result >= 0 ? "no error" : "unknown error";
  }
}

int validateSerialSettings(const SerialSettings& settings) {
  speed_t code;
  if (!baudCode(settings.baudRate, &code)) return kComBadBaudRate;
  if (settings.parity < kParityNone || settings.parity > kParitySpace) return kComBadFrameFormat;
  if (settings.dataBits < 5 || settings.dataBits > 8) return kComBadFrameFormat;
  if (settings.stopBits != 1 && settings.stopBits != 2) return kComBadFrameFormat;
  if (settings.inputQueueSize < 0 || settings.outputQueueSize < 0) return kComBadParameter;
  return 0;
}

int64_t effectiveComTimeoutMs(double seconds) {
  const double ms = std::min(seconds * 1000.0, 1e12);
  const auto unscaled = static_cast<int64_t>(ms);
  const auto scaled = static_cast<int64_t>(ms * timeScale());
  return std::max(scaled, std::min(unscaled, kMinScaledTimeoutMs));
}

SerialPort::~SerialPort() {
  close();
}

int SerialPort::open(const std::string& ttyPath, const SerialSettings& settings) {
  if (int invalid = validateSerialSettings(settings)) return invalid;
  if (ttyPath.empty()) return kComNoSuchPort;
  cancelled_ = false;
  timeoutSeconds_ = kDefaultTimeoutSeconds;
  if (fd_ >= 0 && !gone_ && ttyPath == path_) {
    if (configure(settings) == 0) return 0;
    // A tty that refuses its new configuration is opened afresh below.
  }
  close();

  int fd = ::open(ttyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENODEV ? kComNoSuchPort : kComCannotOpen;
  // Only a terminal can be a serial port; a second user of the same tty is refused, as a
  // serial port has only one owner at a time.
  if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kComCannotOpen;
  }
  fd_ = fd;
  path_ = ttyPath;
  gone_ = false;
  if (int failed = configure(settings)) {
    close();
    return failed;
  }
  return 0;
}

void SerialPort::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  gone_ = false;
  path_.clear();
}

// The descriptor is released as soon as the tty is found gone, so that the system can reuse
// the tty's name for the module when it comes back.
int SerialPort::markGone() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  gone_ = true;
  return kComIoError;
}

int SerialPort::usable() const {
  if (gone_) return kComIoError;
  if (fd_ < 0) return kComNotOpen;
  return 0;
}

int SerialPort::configure(const SerialSettings& settings) {
  speed_t speed;
  if (!baudCode(settings.baudRate, &speed)) return kComBadBaudRate;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return meansVanished(errno) ? markGone() : kComSystemError;
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[settings.dataBits - 5] | CLOCAL | CREAD;
  if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
  switch (settings.parity) {
    case kParityOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case kParityEven:
      tio.c_cflag |= PARENB;
      break;
    case kParityMark:
      tio.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case kParitySpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    return meansVanished(errno) ? markGone() : kComSystemError;
  }
  return 0;
}

int SerialPort::setHardwareHandshake(bool on) {
  if (int unusable = usable()) return unusable;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return meansVanished(errno) ? markGone() : kComSystemError;
  if (on) {
    tio.c_cflag |= CRTSCTS;
  } else {
    tio.c_cflag &= ~CRTSCTS;
  }
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    return meansVanished(errno) ? markGone() : kComSystemError;
  }
  return 0;
}

int SerialPort::flushInput() {
  if (int unusable = usable()) return unusable;
  if (::tcflush(fd_, TCIFLUSH) != 0) return meansVanished(errno) ? markGone() : kComSystemError;
  return 0;
}

int SerialPort::flushOutput() {
  if (int unusable = usable()) return unusable;
  if (::tcflush(fd_, TCOFLUSH) != 0) return meansVanished(errno) ? markGone() : kComSystemError;
  return 0;
}

int SerialPort::setTimeout(double seconds) {
  if (int unusable = usable()) return unusable;
  if (!(seconds >= 0.0)) return kComBadParameter;
  timeoutSeconds_ = seconds;
  return 0;
}

// Polls for `events` in short slices until they come, the deadline passes, the station is
// stopped or this port is cancelled. At least one poll is made, so a zero time-out still sees
// what is ready. Returns false when the wait ended without an event.
bool SerialPort::waitFor(short events, int64_t deadlineMs, short* revents) {
  for (;;) {
    if (cancelled_ || stopRequested()) return false;
    const int64_t left = deadlineMs - static_cast<int64_t>(tickMs());
    pollfd entry{fd_, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::clamp<int64_t>(left, 0, kSliceMs)));
    if (ready > 0) {
      *revents = entry.revents;
      return true;
    }
    if (ready < 0 && errno != EINTR) {
      *revents = POLLERR;
      return true;
    }
    if (left <= 0) return false;
  }
}

int SerialPort::write(const char* data, int count) {
  if (!data || count < 0) return kComBadParameter;
  if (int unusable = usable()) return unusable;
  const int64_t deadline = static_cast<int64_t>(tickMs()) + effectiveComTimeoutMs(timeoutSeconds_);
  int written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, data + written, static_cast<size_t>(count - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      const int failure = meansVanished(errno) ? markGone() : kComSystemError;
      return written > 0 ? written : failure;
    }
    short revents = 0;
    if (!waitFor(POLLOUT, deadline, &revents)) break;
    if (!(revents & POLLOUT) && (revents & (POLLERR | POLLHUP | POLLNVAL))) {
      const int failure = markGone();
      return written > 0 ? written : failure;
    }
  }
  return written;
}

int SerialPort::read(char* buffer, int count) {
  if (!buffer || count < 0) return kComBadParameter;
  if (int unusable = usable()) return unusable;
  const int64_t deadline = static_cast<int64_t>(tickMs()) + effectiveComTimeoutMs(timeoutSeconds_);
  int got = 0;
  while (got < count) {
    short revents = 0;
    if (!waitFor(POLLIN, deadline, &revents)) break;
    if (revents & POLLIN) {
      const ssize_t n = ::read(fd_, buffer + got, static_cast<size_t>(count - got));
      if (n > 0) {
        got += static_cast<int>(n);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        if (static_cast<int64_t>(tickMs()) >= deadline) break;
        continue;
      }
      // End of file on a tty means it was hung up: the device is gone.
      const int failure = (n == 0 || meansVanished(errno)) ? markGone() : kComSystemError;
      return got > 0 ? got : failure;
    }
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
      const int failure = markGone();
      return got > 0 ? got : failure;
    }
  }
  return got;
}

}  // namespace host

// ---- The COM-number functions ----

namespace {

struct OpenCom {
  std::mutex use;  // serialises the calls on this port
  host::SerialPort port;
};

std::mutex gRegistryMutex;
std::map<int, std::shared_ptr<OpenCom>> gOpenPorts;

std::shared_ptr<OpenCom> findPort(int port) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gOpenPorts.find(port);
  return it == gOpenPorts.end() ? nullptr : it->second;
}

// Forgets `entry` when it is still the registered one and nothing reopened it meanwhile. A port
// that another thread is using right now was reopened, so it is kept without waiting for it.
void forgetIfClosed(int port, const std::shared_ptr<OpenCom>& entry) {
  std::lock_guard registryLock(gRegistryMutex);
  auto it = gOpenPorts.find(port);
  if (it == gOpenPorts.end() || it->second != entry) return;
  std::unique_lock portLock(entry->use, std::try_to_lock);
  if (!portLock.owns_lock()) return;
  if (!entry->port.isOpen() && !entry->port.isGone()) gOpenPorts.erase(it);
}

template <typename Operation>
int withPort(int port, Operation operation) {
  if (port < 1) return host::kComInvalidPort;
  std::shared_ptr<OpenCom> entry = findPort(port);
  if (!entry) return host::kComNotOpen;
  std::lock_guard lock(entry->use);
  return operation(entry->port);
}

}  // namespace

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
  if (port < 1) return host::kComInvalidPort;
  const host::SerialSettings settings{.baudRate = baudRate,
                                      .parity = parity,
                                      .dataBits = dataBits,
                                      .stopBits = stopBits,
                                      .inputQueueSize = inputQueueSize,
                                      .outputQueueSize = outputQueueSize};
  if (int invalid = host::validateSerialSettings(settings)) return invalid;
  const std::string ttyPath = (deviceName && deviceName[0] == '/')
                                  ? std::string(deviceName)
                                  : host::deviceDirectory().ttyPathOfCom(port);
  if (ttyPath.empty()) return host::kComNoSuchPort;

  std::shared_ptr<OpenCom> entry;
  {
    std::lock_guard lock(gRegistryMutex);
    std::shared_ptr<OpenCom>& registered = gOpenPorts[port];
    if (!registered) registered = std::make_shared<OpenCom>();
    entry = registered;
  }
  int result;
  {
    std::lock_guard lock(entry->use);
    result = entry->port.open(ttyPath, settings);
    if (result != 0) entry->port.close();
  }
  if (result != 0) forgetIfClosed(port, entry);
  return result;
}

int CloseCom(int port) {
  if (port < 1) return host::kComInvalidPort;
  std::shared_ptr<OpenCom> entry = findPort(port);
  if (!entry) return host::kComNotOpen;
  entry->port.cancel();  // a read or write in progress ends at its next slice
  {
    std::lock_guard lock(entry->use);
    entry->port.close();
  }
  forgetIfClosed(port, entry);
  return 0;
}

int SetCTSMode(int port, int mode) {
  return withPort(port, [&](host::SerialPort& p) { return p.setHardwareHandshake(mode != 0); });
}

int FlushInQ(int port) {
  return withPort(port, [](host::SerialPort& p) { return p.flushInput(); });
}

int FlushOutQ(int port) {
  return withPort(port, [](host::SerialPort& p) { return p.flushOutput(); });
}

int SetComTime(int port, double timeoutSeconds) {
  return withPort(port, [&](host::SerialPort& p) { return p.setTimeout(timeoutSeconds); });
}

int ComWrt(int port, const char* buffer, int count) {
  return withPort(port, [&](host::SerialPort& p) { return p.write(buffer, count); });
}

int ComRd(int port, char* buffer, int count) {
  return withPort(port, [&](host::SerialPort& p) { return p.read(buffer, count); });
}
