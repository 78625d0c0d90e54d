#pragma once
// The behaviour of a module's fastboot loader, independent of how the bytes travel: it takes
// the host's messages (commands and data pieces) and gives back the reply packets. It keeps
// the partitions it was sent ("flash:" replaces, "flashC:" appends) so tests and the bench can
// compare them with image files, and it can be told to misbehave per command.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class FastbootDeviceModel {
 public:
  // How the device answers one command instead of its normal reply.
  struct Fault {
    std::vector<std::string> info;             // INFO lines sent before the reply
    std::optional<std::string> fail;           // "FAIL" + this text
    std::optional<std::string> raw;            // exactly these bytes as the reply packet
    std::optional<uint64_t> dataSize;          // "download:": the size DATA announces
    std::optional<std::string> failAfterData;  // "download:": "FAIL" + text after the data
    bool silent = false;                       // no reply at all
    bool disconnect = false;                   // the device vanishes instead of replying
  };

  // What handling one message produced.
  struct Output {
    std::vector<std::string> packets;
    bool disconnect = false;
  };

  // Replies a device may give are at most this long.
  static constexpr size_t kMaxPacket = 64;

  // One message from the host: a command, or a piece of data during a data phase.
  Output onMessage(const uint8_t* data, size_t length);
  // The host went away: a data phase in progress is dropped.
  void onDisconnect();

  // Set-up.
  void setVariable(const std::string& name, const std::string& value);
  // The fault applies to every command exactly equal to `command` ("flash:boot",
  // "getvar:version", "download:00001000", "reboot").
  void setFault(const std::string& command, Fault fault);
  void clearFaults();
  // INFO lines sent before the normal reply to `command`.
  void setInfoLines(const std::string& command, std::vector<std::string> lines);
  // Largest download the loader accepts (default 512 MiB).
  void setMaxDownloadSize(uint64_t size);
  // Without storing, data is counted but neither it nor its message sizes are kept (for
  // throughput measurements).
  void setStoreData(bool store);
  // The device is pulled once `percent` of the first download has arrived: the data up to that
  // point is taken and the connection dropped at once, whatever the transfer's pace, and every
  // later message is answered by dropping the connection again.
  void setPullDuringFirstDownload(int percent);

  // Observations.
  std::map<std::string, std::vector<uint8_t>> partitions() const;
  std::optional<std::vector<uint8_t>> partition(const std::string& name) const;
  std::vector<std::string> commands() const;
  uint64_t dataBytesReceived() const;
  // Sizes of the data messages received, in order (the host's write pieces).
  std::vector<size_t> dataMessageSizes() const;
  int rebootCount() const;
  // Blocks until at least `count` commands have arrived; false after a minute without them.
  bool waitForCommands(size_t count) const;

 private:
  Output handleCommand(const std::string& command);
  Output normalReply(const std::string& command);
  Output startDownload(const std::string& command, const Fault* fault);
  Output receiveData(const uint8_t* data, size_t length);

  mutable std::mutex mutex_;
  mutable std::condition_variable commandArrived_;
  std::map<std::string, std::string> variables_;
  std::map<std::string, Fault> faults_;
  std::map<std::string, std::vector<std::string>> infoLines_;
  uint64_t maxDownloadSize_ = 512ull << 20;
  bool storeData_ = true;

  std::map<std::string, std::vector<uint8_t>> partitions_;
  std::vector<std::string> commands_;
  std::vector<size_t> dataMessageSizes_;
  uint64_t dataBytes_ = 0;
  int reboots_ = 0;

  // The current data phase: bytes still expected, what arrived, and the reply after it.
  uint64_t dataLeft_ = 0;
  bool inDataPhase_ = false;
  std::optional<std::string> failAfterData_;
  std::vector<uint8_t> download_;
  bool haveDownload_ = false;

  std::optional<int> pullPercent_;
  std::optional<uint64_t> pullAtBytes_;
  bool pulled_ = false;
};

}  // namespace sim
