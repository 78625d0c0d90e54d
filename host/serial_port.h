#pragma once
// Serial ports. `host::SerialPort` is one open tty in raw mode (real USB serial devices and
// ptys alike). The station addresses ports by COM number through the RS-232 style functions
// at the end of this header; only the device directory knows which tty a COM number is.

#include <atomic>
#include <cstdint>
#include <string>

namespace host {

// Failures of the serial functions; every failure is negative.
inline constexpr int kComSystemError = -1;     // an unexpected error of the system
inline constexpr int kComInvalidPort = -2;     // COM number below 1
inline constexpr int kComNotOpen = -3;         // the port is not open
inline constexpr int kComIoError = -4;         // the tty failed or vanished while open
inline constexpr int kComNoSuchPort = -5;      // no tty is known for the COM number
inline constexpr int kComCannotOpen = -6;      // the tty exists but cannot be opened or is in use
inline constexpr int kComBadParameter = -7;    // queue size, time-out, count or buffer refused
inline constexpr int kComBadBaudRate = -8;     // a baud rate the tty layer does not offer
inline constexpr int kComBadFrameFormat = -9;  // parity, data bits or stop bits out of range

// A short English text for a serial result ("no such port", ...), for logs and tools.
const char* comErrorText(int result);

enum ComParity {
  kParityNone = 0,
  kParityOdd = 1,
  kParityEven = 2,
  kParityMark = 3,
  kParitySpace = 4
};

struct SerialSettings {
  long baudRate = 115200;
  int parity = kParityNone;
  int dataBits = 8;
  int stopBits = 1;
  // Kept for callers; the tty layer sizes its own queues.
  int inputQueueSize = 512;
  int outputQueueSize = 512;
};

// Checks `settings` without touching a tty: 0 or one of the failure codes above.
int validateSerialSettings(const SerialSettings& settings);

// A time-out as the station sets it, turned into the real milliseconds a read or write waits:
// scaled by timeScale(), but never scaled below 250 ms, so that a reply has time to arrive even
// at the small scales of the tests.
int64_t effectiveComTimeoutMs(double seconds);

// One tty, opened non-blocking and polled in short slices so that every wait ends promptly on
// host::stopRequested() or cancel(). Not thread-safe by itself except cancel(); the COM-number
// functions serialise the use of each port.
class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens `ttyPath` in raw mode with `settings`, hardware handshake off and the time-out reset
  // to 10 s. When this port already has `ttyPath` open and working, it is only configured anew.
  int open(const std::string& ttyPath, const SerialSettings& settings);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // True once the tty failed or vanished; every use then fails until it is opened again.
  bool isGone() const { return gone_; }
  const std::string& ttyPath() const { return path_; }

  int setHardwareHandshake(bool on);
  int flushInput();
  int flushOutput();
  // Time-out of each read and write in seconds, as the station states it (see
  // effectiveComTimeoutMs). Negative values are refused.
  int setTimeout(double seconds);

  // Writes `count` bytes; returns how many were written before the time-out, a stop or a
  // cancel (fewer than `count` then), or a failure code when nothing could be written.
  int write(const char* data, int count);
  // Reads until `count` bytes have arrived or the time-out, a stop or a cancel ends the wait;
  // returns what arrived (possibly 0), or a failure code when the tty failed before anything
  // arrived.
  int read(char* buffer, int count);

  // Ends a running read or write at its next slice; cleared by the next open.
  void cancel() { cancelled_ = true; }

 private:
  int configure(const SerialSettings& settings);
  int markGone();
  int usable() const;
  bool waitFor(short events, int64_t deadlineMs, short* revents);

  int fd_ = -1;
  bool gone_ = false;
  std::string path_;
  double timeoutSeconds_ = 10.0;
  std::atomic<bool> cancelled_{false};
};

}  // namespace host

// The RS-232 functions of the station, by COM number. They may be called from any thread;
// calls on one port are serialised, calls on different ports run side by side.
//
// `deviceName` of OpenComConfig: a tty path ("/dev/ttyUSB0", a pty) binds the COM number to that
// tty; null or any other text asks the device directory for the COM number's tty. Opening a
// port that is already open configures it anew (and reopens it when its tty had vanished).
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
// mode 0: hardware handshake off; any other value: on.
int SetCTSMode(int port, int mode);
int FlushInQ(int port);
int FlushOutQ(int port);
int SetComTime(int port, double timeoutSeconds);
// Bytes written, or a failure code.
int ComWrt(int port, const char* buffer, int count);
// Bytes read (what arrived within the time-out), or a failure code.
int ComRd(int port, char* buffer, int count);
