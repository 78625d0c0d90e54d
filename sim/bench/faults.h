#pragma once
// Faults a virtual module can be given when it is plugged, each named by a short text:
//   at-silent              the AT port never answers
//   at-error               every AT command is answered with ERROR
//   switch-refused         switches to download mode / EDL are refused
//   no-download-port       after a switch the module never comes back
//   no-fastboot            the fastboot loader never shows its device
//   fastboot-fail:PART     "flash:PART" (and "flashC:PART") is answered with FAIL
//   unplug:STAGE[:PERCENT] the module is pulled during a stage, once: cp (modem download: the
//                          streaming download, Sahara programmer and Firehose images), ap (the
//                          fastboot stage; PERCENT of its first image download), tp (the QCN
//                          restore); PERCENT of that transfer, 0 when left out
//   qcn-size:BYTES         QCN/XQCN backups come out exactly BYTES long
//   sahara-fail            the Sahara programmer upload fails
//   efs-backup-fail        the module's first EFS backup does not complete (its check finds
//                          none); the next one does
//   sahara-silent          the download port never says hello (a Sahara connect runs into its
//                          time limit)
//   sahara-version0        the hello reports Sahara version 0
//   sahara-slow:MS         the hello comes MS milliseconds after the download port appeared
//                          (real milliseconds, whatever the time scale)
//   stream-quiet           the streaming download writes its partitions without announcing
//                          any of them (no "Downloading <file>" texts)
//   firehose-error         the Firehose image load reports an error
//   tool-hang              the outside tools stop answering (they end only when killed)
//   firehose-hang          the Firehose tool stops answering after its first image
//   multi-image-fail       the flash programmer refuses the first image of a multi-image upload

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct UnplugFault {
  std::string stage;  // "cp", "ap" or "tp"
  int percent = 0;    // 0 to 100
  bool spent = false;
};

struct ModuleFaults {
  bool atSilent = false;
  bool atError = false;
  bool switchRefused = false;
  bool noDownloadPort = false;
  bool noFastboot = false;
  std::set<std::string> fastbootFail;
  std::vector<UnplugFault> unplug;
  std::optional<uint64_t> qcnSize;
  bool saharaFail = false;
  bool efsBackupFail = false;  // cleared when spent
  bool saharaSilent = false;
  bool saharaVersion0 = false;
  uint64_t saharaSlowMs = 0;
  bool streamQuiet = false;
  bool firehoseError = false;
  bool toolHang = false;
  bool firehoseHang = false;
  bool multiImageFail = false;
  std::vector<std::string> given;  // as given, for the state report
};

// Adds one fault by its text; false with `error` set when it is not one of the above.
bool addFault(const std::string& fault, ModuleFaults& faults, std::string& error);

// The unplug fault armed for `stage` whose percentage `done` of `total` has reached, or null.
UnplugFault* dueUnplug(ModuleFaults& faults, const std::string& stage, uint64_t done,
                       uint64_t total);

}  // namespace sim
