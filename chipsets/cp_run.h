#pragma once
// One CP download in progress: the request, the port and programmer it uses and the library
// connections it holds. The CP steps every platform shares (cp_steps.h, sahara_upload.h,
// streaming_download.h) work on it; each platform's CP file puts them in its own order.

#include <atomic>
#include <string>

#include "host/clock.h"
#include "host/report.h"
#include "platform/platform.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

// The port kinds of a request.
inline constexpr int kDiagnosticPort = 0;
inline constexpr int kEmergencyPort = 1;  // QDLoader 9008

struct CpRun {
  explicit CpRun(const DownloadRequest& r) : request(r), dut(r.slot) {}

  const DownloadRequest& request;
  const int dut;
  int port = 0;
  std::string programmer;
  HANDLE diag = nullptr;  // the latest diagnostic connection
  bool diagOpen = false;  // whether `diag` still has to be closed

  void say(const std::string& text) const { updateMesage(dut, text); }
  std::atomic<HANDLE>& mapEntry() const { return handeIndexMap[dut - 1]; }
  const ThreadData* slot() const { return dut <= kSlotCount ? &gThreadData[dut - 1] : nullptr; }
  // One of the slot's port numbers or presence flags as port discovery keeps it right now (0
  // without a slot). Read atomically: the port scans change them while the run polls.
  int32_t slotValue(int32_t ThreadData::*field) const {
    const ThreadData* s = slot();
    return s ? loadField(s->*field) : 0;
  }
  // The 9009 port the slot reports, or 0.
  int present9009Port() const {
    return slotValue(&ThreadData::present9009) == 1 ? slotValue(&ThreadData::ql9009port) : 0;
  }
  void take9009PortIfPresent() {
    if (const int com = present9009Port(); com != 0) port = com;
  }
};

// Every wait of a CP download ends at once on a stop, which ends the download.
inline bool cpWait(double seconds) {
  return host::Delay(seconds);
}
