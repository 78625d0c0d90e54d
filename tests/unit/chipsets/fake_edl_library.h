#pragma once
// The library entry points of the emergency download road, added to the scripted library of
// fake_download_library.h: the switch into emergency download, the connection that waits for
// its port, the EFS image read and the ending of every connection. Calls are recorded in the
// scripted module's call list and its open connections.

#include <functional>
#include <string>

struct FakeEdlModule {
  int switchRefusals = 0;          // switches refused before one is accepted
  std::function<void()> onSwitch;  // the module's ports change (runs inside an accepted switch)
  bool efsSaved = true;            // the EFS image read succeeds
  std::string efsPath;             // where the station asked for it
};

FakeEdlModule& fakeEdlModule();

// Resets the module and points the entry points at the fakes (after installFakeDownloadLibrary).
void installFakeEdlLibrary();
