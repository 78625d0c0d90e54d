#include "host/report.h"

#include <atomic>
#include <cmath>
#include <cstdio>

#include "host/event_loop.h"
#include "host/local_time.h"
#include "host/operator_surface.h"
#include "host/stringplus.h"

std::string sSoftVersion;
uintptr_t g_mainHWND = 0;

namespace {

std::atomic<const ReportListener*> gListener{nullptr};

bool isDut(int dut) {
  return dut >= 1 && dut <= kMaxDuts;
}

// The message line holds at most 127 bytes of text; a cut never splits a UTF-8 character.
std::string fitMessageLine(std::string text) {
  constexpr size_t kLimit = 127;
  if (text.size() <= kLimit) return text;
  size_t cut = kLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

void drawProgress(int dut, unsigned hundredths) {
  char caption[32];
  std::snprintf(caption, sizeof caption, "%.2f%%", hundredths / 100.0);
  host::surface().setDutProgress(dut, hundredths / 100.0, caption);
}

void drawStatus(int dut, int status) {
  using namespace host;
  if (status == 0) {
    surface().setDutStatus(dut, status, kGreen, true, kGreen);
  } else if (status < 0) {
    surface().setDutStatus(dut, status, kRed, false, kRed);
  } else {
    surface().setDutStatus(dut, status, kBlue, true, kBlack);
  }
}

std::string logFileName(int dut) {
  return "Dut" + std::to_string(dut) + ".log";
}

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

const char* buildDate() {
  return __DATE__;
}
const char* buildTime() {
  return __TIME__;
}

std::string datedLogLine(const std::string& text) {
  return host::localTimeText("%Y-%m-%d %H:%M:%S: ") + text;
}

void saveDutLog(int dut, const std::string& text) {
  if (!isDut(dut) || text.empty()) return;
  appendLogLine(dut, datedLogLine(text), "a");
}

void updateMesage(int dut, const std::string& text) {
  saveDutLog(dut, text);
  if (const ReportListener* listener = gListener.load(); listener && isDut(dut)) {
    listener->messageLogged(dut, text);
  }
  ShowMesage(dut, text);
}

void ShowMesage(int dut, const std::string& text) {
  if (isDut(dut)) host::surface().setDutMessage(dut, text);
}

void initLogfile(int dut, const std::string& platformLabel) {
  if (!isDut(dut)) return;
  std::remove(logFileName(dut).c_str());
  std::string header =
      "-------------" + sSoftVersion + "(Build:" + buildDate() + " " + buildTime() + ")-----------";
  appendLogLine(dut, header, "a");
  appendLogLine(dut, datedLogLine("Platform:" + platformLabel), "a");
}

void updateStatus(int dut, int status) {
  if (!isDut(dut)) return;
  if (const ReportListener* listener = gListener.load()) listener->statusReported(dut, status);
  host::uiLoop().postAndWait([&] {
    fnMsgCallback(UPDATE_STS, static_cast<uintptr_t>(static_cast<intptr_t>(status)), dut);
  });
}

void updateProgressBar(int dut, double fraction) {
  if (!isDut(dut)) return;
  // Progress travels in hundredths of a percent, truncated toward zero. A fraction outside
  // 0..1 (or not a number) would not fit the message.
  if (!(fraction >= 0.0)) fraction = 0.0;
  if (fraction > 1.0) fraction = 1.0;
  unsigned hundredths = static_cast<unsigned>(std::trunc(fraction * 10000.0));
  host::uiLoop().postAndWait([&] { fnMsgCallback(UPDATE_PGB, hundredths, dut); });
}

int fnMsgCallback(unsigned message, uintptr_t wordParam, intptr_t longParam) {
  switch (message) {
    case kReceiverRecreated:
      g_mainHWND = wordParam;
      MessagePopup("", "New handle!!!");
      break;
    case UPDATE_MSG: {
      const auto* text = reinterpret_cast<const wchar_t*>(wordParam);
      const auto* index = reinterpret_cast<const int*>(longParam);
      if (text && index && isDut(*index + 1)) {
        host::surface().setDutMessage(*index + 1, fitMessageLine(wchar2char(text)));
      }
      break;
    }
    case UPDATE_PGB:
      if (isDut(static_cast<int>(longParam))) {
        drawProgress(static_cast<int>(longParam), static_cast<unsigned>(wordParam));
      }
      break;
    case UPDATE_STS:
      if (isDut(static_cast<int>(longParam))) {
        drawStatus(static_cast<int>(longParam), static_cast<int>(static_cast<intptr_t>(wordParam)));
      }
      break;
    default:
      break;
  }
  return 0;
}

void setReportListener(const ReportListener* listener) {
  gListener = listener;
}

void MessagePopup(const std::string& title, const std::string& text) {
  host::surface().messageBox(title, text);
}
