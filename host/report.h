#pragma once
// DUT reporting: the message line (logged or not), progress, status, and the DUT's log file
// "Dut%d.log" in the working directory. Every layer that works on a DUT reports through these.

#include <string>

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
// 0 passed, negative failed, positive working. Returns once the row shows it.
void updateStatus(int dut, int status);
// `fraction` from 0 to 1, shown as a percentage with two decimals. Returns once drawn.
void updateProgressBar(int dut, double fraction);
// A modal message box, as file-list and library problems are shown.
void MessagePopup(const std::string& title, const std::string& text);

// The log line format "%4d-%02d-%02d %02d:%02d:%02d: %s" for the current local time.
std::string datedLogLine(const std::string& text);
