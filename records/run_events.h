#pragma once
// What the station tells the records about its runs, from the thread where each thing happens.
// Until recording starts the stand-in takes every call and does nothing, so code and tests
// that never start recording pay nothing for it.

#include <string>
#include <vector>

#include "records/image_hasher.h"

namespace records {

// Where a DUT's run stands, as the records time it.
enum class Stage { Idle, Waiting, Cp, Ap, Tp, Efs };

struct RunOptions {
  bool backupQcn = false;
  bool onlyAp = false;
  bool onlyQcn = false;
};

class RunEvents {
 public:
  virtual ~RunEvents() = default;

  // A firmware was loaded (UI thread); its images are hashed in the background.
  virtual void firmwareLoaded(const std::string& platform, const std::string& folder,
                              std::vector<FirmwareFile> files) {}
  // A worker was scheduled for the DUT: a run starts, or goes on.
  virtual void workerStarted(int dut, const RunOptions& options) {}
  virtual void stageChanged(int dut, Stage stage) {}
  // A line the DUT's log and message line got.
  virtual void messageLogged(int dut, const std::string& text) {}
  // A status for the DUT's lamp; 0 or negative ends the run. Returns once a finished run is
  // safe in the spool, before the status is shown.
  virtual void statusReported(int dut, int status) {}
  virtual void imeiRead(int dut, const std::string& imei) {}
  virtual void meidRead(int dut, const std::string& meid) {}
  // The QCN file the DUT's backup wrote (or its restore read).
  virtual void qcnFileUsed(int dut, const std::string& path) {}
  // The operator stopped the DUT's slot.
  virtual void slotStopped(int dut) {}
};

RunEvents& runEvents();
// Installs `events` (not owned; null restores the stand-in). Returns the previous one.
RunEvents* installRunEvents(RunEvents* events);

}  // namespace records
