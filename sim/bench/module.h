#pragma once
// One virtual module on the bench. It moves between modes as a real module does:
//   normal    a diagnostic port and an AT port (ptys with friendly names "... (COMn)")
//   download  after a switch to download mode: the platform's download port
//   edl       after a switch to emergency download: a "QDLoader 9008" port
//   fastboot  the boot loader: a USB fastboot device (a TCP fastboot device behind it)
//   rebooting ports vanish, then the next mode's ports arrive after the boot time
//   unplugged nothing until it is plugged again
// It keeps what it was given: partitions written (size and SHA-256), its NV items, the state
// of its EFS backup and every command it received. It is as strict as a real module where a
// procedure depends on it: the programmer must suit how it entered download mode, partitions
// are written as they arrive (an unplug leaves one half written, and a module whose boot chain
// is broken comes back in emergency download), and its AT port prints a banner and unsolicited
// lines, answers in pieces and has its radio off for a moment after boot. Its delays come from
// the bench's ModuleClock. A module is used by one thread (the bench's); only its fastboot
// device runs its own.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/bench/at_responder.h"
#include "sim/bench/faults.h"
#include "sim/bench/module_timing.h"
#include "sim/bench/nv_store.h"
#include "sim/bench/platform_profile.h"
#include "sim/bench/pty_port.h"

namespace sim {

class TcpFastbootDevice;

enum class Mode { kNormal, kDownload, kEdl, kFastboot, kRebooting, kUnplugged };
const char* modeText(Mode mode);

enum class PortRole { kDiag, kAt, kDownload, kEdl };
const char* roleText(PortRole role);

struct ModulePort {
  PortRole role;
  int com = 0;
  std::string friendlyName;
  PtyPort pty;
  std::string input;  // bytes received since the last complete line
};

struct ComNumbers {
  int diag = 0;
  int at = 0;
  int download = 0;
  int edl = 0;
};

struct ModuleIdentity {
  std::string imei;
  std::string meid;
  std::string flashId;  // empty: the platform's
};

struct PartitionRecord {
  uint64_t size = 0;
  std::string sha256;
  std::string via;        // "streaming", "fastboot", "firehose"
  bool complete = false;  // the whole image arrived
};

// How the module came into download mode: the programmer it takes depends on it.
enum class DownloadEntry { kNone, kSwitch, kEmergency };

// What a Sahara hello tells: the protocol version, or why there is none.
struct SaharaHello {
  bool answered = false;
  unsigned version = 0;
  std::string error;
};

// The instance text of a module's USB interface path: "bench-<id>".
std::string benchInstance(const std::string& id);

// The physical port path of the bench's hub port `port` (1, 2, ...): "1-<port>", as a real
// device on port <port> of bus 1 would have it.
std::string benchPortPath(int port);

class VirtualModule {
 public:
  // Told about every arrival (true) or removal (false) of a port or USB device.
  using ChangeListener = std::function<void(bool arrival)>;

  VirtualModule(std::string id, const PlatformProfile& profile, ModuleIdentity identity,
                ModuleFaults faults, ComNumbers coms, ChangeListener listener, ModuleClock& clock);
  ~VirtualModule();
  VirtualModule(const VirtualModule&) = delete;
  VirtualModule& operator=(const VirtualModule&) = delete;

  const std::string& id() const { return id_; }
  const PlatformProfile& profile() const { return profile_; }
  Mode mode() const { return mode_; }
  // The hub port the module is plugged into, and its port path; every port and device of the
  // module carries that path.
  int hubPort() const { return hubPort_; }
  void setHubPort(int port) { hubPort_ = port; }
  std::string portPath() const { return benchPortPath(hubPort_); }
  ModuleFaults& faults() { return faults_; }
  // Counted up at every unplug and at every boot: a library connection is tied to both.
  uint64_t plugCount() const { return plugCount_; }
  uint64_t bootCount() const { return bootCount_; }

  // Plugging: the module shows its normal ports at once. Unplugging removes everything and
  // cancels any restart; replugging unplugs and boots again.
  bool plug(std::string& error);
  void unplug();
  void replug();

  // Carries out due restarts and watches the fastboot device. `nowMs` is host::tickMs().
  void tick(uint64_t nowMs);
  // When tick() wants to run next (0: nothing pending). Short while the fastboot loader runs.
  uint64_t nextDueMs() const;

  // Ports and devices present now.
  const std::vector<std::unique_ptr<ModulePort>>& ports() const { return ports_; }
  ModulePort* portByCom(int com);
  std::vector<std::string> usbInterfacePaths() const;
  // The TCP port of the fastboot device when `path` is this module's interface path.
  std::optional<uint16_t> fastbootPortFor(const std::string& path) const;

  // Bytes the station wrote on a port: AT lines are answered, the rest is drained.
  void onPortInput(ModulePort& port);

  // ---- What the diagnostic library and the tools ask of the module ----
  bool phoneConnected(int com);
  unsigned qpstPhoneStatus(int com);
  bool switchToDownload();
  bool switchToEdl();
  // Phone control: 1 offline, 2 reset, 4 online.
  bool control(int mode);
  unsigned operatingMode() const { return operatingMode_; }
  std::optional<std::vector<uint8_t>> readNv(uint16_t item) const;
  void writeNv(uint16_t item, std::vector<uint8_t> value);
  bool acceptsSpc(const std::string& spc) const { return spc == "271828"; }
  NvItems& nvItems() { return nv_; }
  const std::string& imei() const { return at_.imei; }
  void restoreNv(NvItems items);
  // The download-mode no-op (answered only by a module in download mode) and reset (a module
  // in normal mode goes to download mode, one in download mode restarts in normal mode).
  bool downloadNop(int com);
  bool downloadReset(int com);

  // The Sahara hello on the download port `com`, as the module gives it now.
  SaharaHello saharaHello(int com, uint64_t nowMs) const;
  // Takes the flash programmer in the file `path` (read and checked here); false with `error`
  // when the module is not waiting for one or the programmer is damaged or does not suit the
  // way the module entered download mode.
  bool acceptProgrammer(const std::string& path, std::string& error);
  bool programmerRunning() const { return programmerRunning_; }
  // Takes the partition table in the file `path` and records it as the partition "partition".
  bool acceptPartitionTable(const std::string& path, std::string& error);
  // A partition's image starts to arrive: the partition is half written from now on. False
  // when the partition table has no such partition.
  bool beginPartition(const std::string& name, const std::string& via, std::string& error);
  // Progress of a transfer; false when the module is gone (also when an unplug fault of the
  // stage fires now, which pulls the module). `written` is what the partition being written
  // holds so far, when the transfer says so.
  bool reportTransfer(const std::string& stage, uint64_t done, uint64_t total,
                      const std::optional<std::pair<std::string, PartitionRecord>>& written);
  // A partition's whole image arrived.
  void recordPartition(const std::string& name, PartitionRecord record);
  // Whether every partition it boots from holds a whole image.
  bool bootChainComplete() const;
  void recordCommand(const std::string& via, const std::string& text);
  // The end of a modem download: restart into the next mode.
  void finishModemDownload();
  void restartNormal();
  void setCefsBackup(const std::string& path, uint64_t size);

  nlohmann::json toJson() const;

 private:
  enum class Restart { kFromAt, kFromDiag, kImmediate };

  void restartInto(Mode target, double bootSeconds, Restart how, bool appears = true);
  // The EFS backup that an AT command started is over (or lost, with the fault).
  void finishEfsBackup();
  void enterMode(Mode target);
  void removeEverything();
  bool addPort(PortRole role, int com, uint16_t productId, int interfaceNumber);

  // AT port (module_at.cpp).
  void handleAtLine(const std::string& line);
  void carryOut(AtAction action);
  void startAtPort(uint64_t nowMs);
  void sendAtReply(const std::string& reply, uint64_t nowMs);
  void sendDueAtOutput(uint64_t nowMs);

  // Fastboot session (module_fastboot.cpp).
  bool startFastboot();
  void watchFastboot();
  void endFastboot();
  void checkApUnplug();

  std::string id_;
  const PlatformProfile& profile_;
  ModuleClock& clock_;
  ModuleFaults faults_;
  ComNumbers coms_;
  ChangeListener listener_;

  Mode mode_ = Mode::kUnplugged;
  int hubPort_ = 1;
  uint64_t plugCount_ = 0;
  uint64_t bootCount_ = 0;
  std::vector<std::unique_ptr<ModulePort>> ports_;
  // Bytes for the AT port that wait for their moment: reply pieces and unsolicited lines.
  struct AtOutput {
    std::string bytes;
    bool unsolicited = false;
  };
  std::multimap<uint64_t, AtOutput> atOutput_;
  uint64_t radioOnAtMs_ = 0;
  uint16_t normalProductId_;
  AtState at_;
  NvItems nv_;
  unsigned operatingMode_ = 5;
  bool programmerRunning_ = false;
  std::string programmerName_;
  std::string programmerSha256_;
  DownloadEntry downloadEntry_ = DownloadEntry::kNone;
  uint64_t downloadPortSinceMs_ = 0;
  std::map<std::string, PartitionRecord> partitions_;
  std::set<std::string> partitionTable_;
  std::vector<std::pair<std::string, std::string>> commands_;
  std::string cefsBackupPath_;
  uint64_t cefsBackupSize_ = 0;

  // A restart in progress.
  Mode restartTarget_ = Mode::kNormal;
  uint64_t vanishAtMs_ = 0;
  uint64_t appearAtMs_ = 0;
  bool restartPending_ = false;
  uint64_t efsBackupDoneAtMs_ = 0;

  // The fastboot session.
  std::unique_ptr<TcpFastbootDevice> fastboot_;
  size_t fastbootCommandsSeen_ = 0;
  std::optional<uint64_t> apDownloadSize_;
  uint64_t apDownloadStartBytes_ = 0;
};

}  // namespace sim
