#include "host/report.h"

#include <cstdio>
#include <ctime>

#include "host/operator_surface.h"

std::string sSoftVersion;

namespace {

std::string logFileName(int dut) { return "Dut" + std::to_string(dut) + ".log"; }

// Writes one line to the DUT's log, opening and closing the file around it so that lines from
// different threads never mix within a line.
void appendLogLine(int dut, const std::string& line, const char* mode) {
  std::FILE* file = std::fopen(logFileName(dut).c_str(), mode);
  if (!file) return;
  std::fputs(line.c_str(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

}  // namespace

const char* buildDate() { return __DATE__; }
const char* buildTime() { return __TIME__; }

std::string datedLogLine(const std::string& text) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%4d-%02d-%02d %02d:%02d:%02d: ", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return stamp + text;
}

void saveDutLog(int dut, const std::string& text) {
  if (text.empty()) return;
  appendLogLine(dut, datedLogLine(text), "a");
}

void updateMesage(int dut, const std::string& text) {
  saveDutLog(dut, text);
  ShowMesage(dut, text);
}

void ShowMesage(int dut, const std::string& text) { host::surface().setDutMessage(dut, text); }

void initLogfile(int dut, const std::string& platformLabel) {
  std::remove(logFileName(dut).c_str());
  std::string header =
      "-------------" + sSoftVersion + "(Build:" + buildDate() + " " + buildTime() + ")-----------";
  appendLogLine(dut, header, "a");
  appendLogLine(dut, datedLogLine("Platform:" + platformLabel), "a");
}

void updateStatus(int dut, int status) {
  using namespace host;
  if (status == 0) {
    surface().setDutStatus(dut, status, kGreen, true, kGreen);
  } else if (status < 0) {
    surface().setDutStatus(dut, status, kRed, false, kRed);
  } else {
    surface().setDutStatus(dut, status, kBlue, true, kBlack);
  }
}

void updateProgressBar(int dut, double fraction) {
  // Progress travels in hundredths of a percent, truncated toward zero.
  unsigned hundredths = static_cast<unsigned>(static_cast<long long>(fraction * 10000.0));
  char caption[32];
  std::snprintf(caption, sizeof caption, "%.2f%%", hundredths / 100.0);
  host::surface().setDutProgress(dut, hundredths / 100.0, caption);
}

void MessagePopup(const std::string& title, const std::string& text) {
  host::surface().messageBox(title, text);
}
