#pragma once
// DUT reporting: the message line (logged or not), progress, status, and the DUT's log file
// "Dut%d.log" in the working directory. Every layer that works on a DUT reports through these.

#include <cstdint>
#include <string>

// DUT numbers run from 1 to kMaxDuts; reports for any other number (a library callback whose
// connection belongs to no DUT reports for -1) are dropped.
inline constexpr int kMaxDuts = 8;

// The reports that travel to the UI thread, and the notice that the window receiving them was
// re-created.
inline constexpr unsigned UPDATE_MSG = 9678;  // word: const wchar_t* text; long: const int* index
inline constexpr unsigned UPDATE_PGB = 9679;  // word: hundredths of a percent; long: DUT number
inline constexpr unsigned UPDATE_STS = 9680;  // word: status (signed); long: DUT number
inline constexpr unsigned kReceiverRecreated = 1004;  // word: the new receiver's handle

// The handle of the window that receives the reports.
extern uintptr_t g_mainHWND;

// The product text of the title and of every log header; filled from cfg.ini at start-up.
extern std::string sSoftVersion;

// The build date ("Oct 30 2019") and time ("hh:mm:ss") of the station.
const char* buildDate();
const char* buildTime();

// Appends one dated line to the DUT's log; an empty text writes nothing.
void saveDutLog(int dut, const std::string& text);
// Logs `text`, then shows it in the DUT's message line.
void updateMesage(int dut, const std::string& text);
// Shows `text` in the DUT's message line without logging it.
void ShowMesage(int dut, const std::string& text);
// Starts a fresh log: the header line and the platform line.
void initLogfile(int dut, const std::string& platformLabel);
// 0 passed, negative failed, positive working. Handled on the UI thread; returns once the row
// shows it.
void updateStatus(int dut, int status);
// `fraction` from 0 to 1 (outside values are held to that range), shown as a percentage with
// two decimals. Handled on the UI thread; returns once drawn.
void updateProgressBar(int dut, double fraction);
// The UI thread's handler of the reports above; returns 0. Unknown messages are ignored.
int fnMsgCallback(unsigned message, uintptr_t wordParam, intptr_t longParam);

// A modal message box, as file-list and library problems are shown.
void MessagePopup(const std::string& title, const std::string& text);

// The log line format "%4d-%02d-%02d %02d:%02d:%02d: %s" for the current local time.
std::string datedLogLine(const std::string& text);

// Follows the DUTs' reports (the station's run records), on the reporting thread: a message
// once it is logged, a status before it is shown.
struct ReportListener {
  void (*messageLogged)(int dut, const std::string& text);
  void (*statusReported)(int dut, int status);
};
// Installs `listener` (not owned; null for none).
void setReportListener(const ReportListener* listener);
