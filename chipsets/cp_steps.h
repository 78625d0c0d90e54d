#pragma once
// CP steps that several platforms share around the Sahara and streaming phases: the hand-over
// from the vendor phone server, the library's version lines, the diagnostic connection, the
// switch into download mode with the wait for the download port, the library's error report
// and the closing of the run's connection.

#include "chipsets/cp_run.h"

// How a platform lets the phone server's QCN work finish before it stops the server.
struct PhoneServerHandOver {
  // Whether the slots take turns (a wait of slot + 2 seconds) between two busy waits; the
  // second busy wait shows `waitingText` each second.
  bool slotTurn;
  const char* waitingText;
};
// With backup/restore on, waits while a QCN backup or restore holds the phone server. False
// when that wait ran out (the operator is asked to repower) or was stopped.
bool handOverFromPhoneServer(const CpRun& run, const PhoneServerHandOver& handOver);

// The port of the run's port kind (diagnostic, 9008 or 9009) and its programmer: the
// emergency programmer on the 9008 port, the normal one on the others.
void choosePortAndProgrammer(CpRun& run, const std::string& normal, const std::string& emergency);

// Logs the library's version and capability lines.
void logLibraryLines(const CpRun& run);

// Opens the diagnostic connection on `port` with up to `tries` immediate tries, stores it in
// the run and the slot's map entry. On failure logs `failedText` (formatted with the DUT; when
// null, the caller reports the failure its own way) and returns false.
bool connectDiagnostic(CpRun& run, int port, int tries, const char* failedText);

// How a platform asks the module on its diagnostic connection to go into download mode.
struct DownloadSwitch {
  double waitBeforeDisconnect;  // seconds between the switch and closing the connection
  double waitAfterDisconnect;
  const char* failedText;  // formatted with the DUT
};
// Switches the module on the run's open diagnostic connection and closes that connection.
// A refused switch logs `failedText`. False on a refusal or a stop.
bool switchToDownloadMode(CpRun& run, const DownloadSwitch& sw);

// How a platform waits for its download port after the switch.
struct DownloadPortWait {
  double stepSeconds;
  const char* waitingText;  // shown each step, or null
  bool follow9009;          // take the slot's 9009 port once it reports one
};
// Waits until the run's port is present. The wait is bounded: past the limit the operator is
// asked to repower the DUT. False when it ran out or was stopped.
bool waitForDownloadPort(CpRun& run, const DownloadPortWait& portWait);

// Logs the library's text about the last failed download on `handle`, when it has one.
void logDownloadError(const CpRun& run, HANDLE handle);

// Ends the run's open diagnostic connection (logging stopped first) and clears the slot's map
// entry.
void closeCpRun(CpRun& run);

// How the steps after the phone server's hand-over ended.
enum class CpResult {
  Success,
  Failed,        // the library's error text is worth logging
  NoConnection,  // the download port could not be connected: nothing is left to close
};
// Ends the run by its result: a failure logs the library's error text of the last diagnostic
// connection, the run is closed (unless nothing was connected). Returns 0 or -1.
int finishCpRun(CpRun& run, CpResult result);
