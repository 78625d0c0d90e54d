#pragma once
// The AT command interpreter of a virtual module: the commands the station sends (radio
// state, IMEI/MEID, EFS backup, revisions, NV writes, USB product switch, restarts into the
// boot loader or EDL) with the replies a module gives. Commands are echoed, as a module does
// with echo on; replies end in "OK" or "ERROR". What a command does beyond its reply (a
// restart, a product switch) is returned for the module to carry out.

#include <cstdint>
#include <string>

#include "sim/bench/faults.h"
#include "sim/bench/nv_store.h"

namespace sim {

enum class EfsBackupState { kNone, kRunning, kDone };
const char* efsBackupText(EfsBackupState state);

// What the interpreter reads and changes of its module.
struct AtState {
  std::string imei;
  std::string meid;
  int cfun = 1;
  EfsBackupState efsBackup = EfsBackupState::kNone;
  uint16_t productId = 0;
  bool adbEnabled = false;
  std::string revision;
  std::string apRevision;  // "AT+ORVANEATI"; empty: `revision`
  std::string flashId;
  NvItems* nvItems = nullptr;
};

enum class AtAction {
  kNone,
  kRestart,            // "at+creset"
  kRestartToFastboot,  // "at+bootldr"
  kRestartToEdl,       // "at+bootedl"
  kSwitchTo9011,       // "AT+CUSBPIDSWITCH=9011,1,1"
  kStartEfsBackup,     // "AT+CBACKUPEFS2" / "AT+BACKUPEFS"
};

struct AtOutcome {
  std::string reply;  // bytes for the port; empty for no answer at all
  AtAction action = AtAction::kNone;
};

// Answers one command line (without its line end; a leading line feed is ignored).
AtOutcome answerAtCommand(const std::string& line, AtState& state, const ModuleFaults& faults);

}  // namespace sim
