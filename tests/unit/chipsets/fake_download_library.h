#pragma once
// A diagnostic library made of plain functions, installed into the binding's entry points,
// with one scripted module behind it for the CP download: its connections, the switch to
// download mode, the Sahara connect and programmer upload, and the streaming download, which
// plays a list of text-log records through the configured callback.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/qlib_api.h"

struct FakeDownloadModule {
  std::set<unsigned> deadPorts;  // ports on which no connection opens
  bool phoneConnected = true;
  bool switchAccepted = true;
  std::function<void()> onSwitch;  // the module's ports change (runs inside the switch)

  std::set<unsigned> saharaPorts;  // ports that answer Sahara (empty: every port)
  int saharaFailures = 0;          // connects that fail before one succeeds
  unsigned saharaVersion = 2;
  bool programmerAccepted = true;
  bool nopAnswered = true;    // the download-mode no-op on a 9008 port
  bool resetAccepted = true;  // the download reset
  std::string errorText;      // the text of the last download error, empty for none

  // The records the streaming download (and the multi-image upload) plays, then its result.
  std::vector<std::pair<unsigned short, std::string>> streamRecords;
  bool streamSucceeds = true;
  int uploadErrorCode = 0;  // what a failed multi-image upload reports

  // What the station did.
  std::vector<std::string> calls;
  std::set<HANDLE> openDiag, openSahara;
  std::vector<unsigned> saharaConnectPorts;
  std::string programmerPath, streamProgrammer, partitionFile;
  QLIB_TextCallback_t programmerText = nullptr;  // the switch's text callback
  QLIB_UserPartitionList partitions{};
  const void* partitionList = nullptr;  // the list the download was given
  int overrideTable = -1;
  // The multi-image upload's image paths (a null path as "(null)") and its texts.
  std::vector<std::string> uploadImages, uploadTexts;

  bool called(const std::string& call) const;
};

FakeDownloadModule& fakeDownloadModule();

// Resets the module and points every entry point the CP download uses at the fakes.
void installFakeDownloadLibrary();

// The text a streaming download of `files` says, as a real library says it.
std::vector<std::pair<unsigned short, std::string>> streamTexts(
    const std::vector<std::string>& files, int notesPerFile = 1);
