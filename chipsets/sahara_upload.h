#pragma once
// The Sahara phase of a CP download, shared by the platforms whose module starts its flash
// programmer over Sahara: connect on the run's port (optionally under the station-wide Sahara
// lock), upload the programmer, and release the connection and the lock on every path.

#include "chipsets/cp_run.h"
#include "platform/qlib_api.h"

// What differs between the platforms' Sahara phases.
struct SaharaUpload {
  bool takeLock;           // serialise the phase between slots with the Sahara lock
  double waitBefore;       // seconds before the first connect
  int tries;               // connects tried until one answers with a Sahara version
  double waitAfterTry;     // seconds after each try (the slot may report its 9009 port)
  unsigned timeoutMs;      // the connect's time-out as the library takes it
  const char* failedText;  // logged when no connect answered, formatted with the DUT
  // Logged when the programmer is refused (formatted with the DUT), or null for none.
  const char* programmerFailedText;
  int programmerFailedResult;  // the result of a refused programmer
  QLIB_TextCallback_t logCallBack;
  // Whether the run moves to the slot's 9009 port once the slot reports one between tries.
  bool follow9009 = true;
};

// Uploads the run's programmer in Sahara `mode`. Returns 0 when the programmer runs in the
// module, `programmerFailedResult` when it was refused and -1 for every other failure (no
// connect, lock not free, stopped).
int uploadProgrammer(CpRun& run, const SaharaUpload& upload, unsigned mode);
