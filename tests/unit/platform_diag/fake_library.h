#pragma once
// A diagnostic library made of plain functions, installed into the binding's entry points, with
// one scripted module behind it: its NV items (the calibration), its factory-test mode, and the
// faults a test asks for. Backup files hold the items as text lines, padded to a chosen size.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct FakeModule {
  std::map<uint16_t, std::string> nvItems;
  unsigned char ftmMode = 0;

  int connectFailures = 0;  // handshakes that fail before one succeeds
  int silentPolls = 0;      // "not connected" answers per connection; -1: never answers
  bool spcAccepted = true;
  int multiSimFailures = 0;
  int backupFailures = 0;                  // backups that fail (after writing half a file)
  bool successWithoutFile = false;         // backups that report success and write nothing
  std::optional<uint64_t> backupFileSize;  // backup files padded (or cut) to this size
  int loadFailures = 0;
  int writeFailures = 0;
  bool ftmReadFails = false;
  bool ftmStuckOn = false;  // writing FTM mode 0 has no effect

  std::vector<std::string> calls;            // "Connect(5)", "Backup(<path>)", ...
  std::vector<bool> qpstBusyDuringTransfer;  // IsQpstOpration() at each file transfer
  std::map<uint16_t, std::string> loaded;    // items read from a file, not yet written

  size_t count(const std::string& call) const;
};

FakeModule& fakeModule();

// Resets the module and points every entry point the QCN services use at the fakes.
void installFakeLibrary();

// The items of a module as they appear in a backup file (before padding).
std::string serializeItems(const std::map<uint16_t, std::string>& items);
