#pragma once
// What distinguishes the virtual modules of one chipset platform: the USB identity of their
// ports in normal mode and after the switch to download mode, whether the download port takes
// the flash programmer over Sahara, whether the modem download ends in the fastboot loader,
// and the files its firmware folder holds. One row per platform.

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct FirmwareFile {
  const char* name;
  uint64_t typicalSize;  // bytes at size scale 1
};

struct PlatformProfile {
  const char* name;  // "Qca9x07", as the station's menu names the platform
  int type;          // the station's platform type number
  uint16_t normalProductId;
  int diagInterface;
  int atInterface;
  // The port the module shows after a switch to download mode: its USB product (0x9009
  // "QDLoader 9009", 0x900E "Diagnostics 900E", 0x9008 "QDLoader 9008"), and whether it keeps
  // the COM number of the diagnostic port.
  uint16_t downloadProductId;
  bool downloadKeepsDiagCom;
  bool saharaDownload;   // the download port wants the programmer over Sahara
  bool fastbootAfterCp;  // a finished modem download boots the fastboot loader
  uint32_t msmId;        // reported by the Sahara hello
  const char* revision;  // "AT+CGMR" / "AT+ORVANEATI" text
  const char* flashId;   // "AT+CDEVICE?" text
  std::vector<FirmwareFile> firmware;
  // Files the station keeps in its own working folder rather than in the firmware folder.
  std::vector<FirmwareFile> stationFiles;
  // Whether the module restarts once its EFS backup ("AT+BACKUPEFS") is done.
  bool restartAfterEfsBackup = false;
  // The flash sizes in MB a module of the platform comes with ("AT+CDEVICE?" names it); the
  // first is the default; empty: only `flashId`.
  std::vector<std::string> flashSizes = {};
  // The programmer kind ("normal", "emergency", "firehose") the download port takes after a
  // switch to download mode, and in emergency download (after a switch to EDL, or when the
  // module came up there by itself); empty: any good programmer.
  std::string switchProgrammer = "";
  std::string emergencyProgrammer = "";
  // The partitions the module boots from: one left half written or erased makes it come up in
  // emergency download.
  std::vector<std::string> bootChain = {};
  // The partitions of its flash, as the firmware's partition file lists them; empty: the
  // partition file is not a table and streamed partitions are not checked against one.
  std::vector<std::string> partitions = {};
  // The AP revision "AT+ORVANEATI" reports, when it differs from `revision`. A Qca8909 module
  // runs the firmware its backup firmware was made for: make-firmware names that firmware's
  // version after this revision (its first "," read as "_").
  const char* apRevision = nullptr;
};

// The emergency download port every platform shows after a switch to EDL.
inline constexpr uint16_t kEdlProductId = 0x9008;
inline constexpr uint16_t kQualcommVendorId = 0x05C6;
inline constexpr uint16_t kSwitchedProductId = 0x9011;  // after "AT+CUSBPIDSWITCH=9011,1,1"

// The profile of a platform by name: "Qca9x07", "Qca_9x07" or "9x07", any case. Null when
// unknown.
const PlatformProfile* findProfile(const std::string& name);
const std::vector<PlatformProfile>& allProfiles();

}  // namespace sim
