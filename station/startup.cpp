#include "station/startup.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <system_error>

#include "chipsets/platform_rows.h"
#include "host/child_process.h"
#include "host/clock.h"
#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "host/station_options.h"
#include "station/dut_slots.h"
#include "station/dut_timer.h"
#include "station/file_list.h"
#include "station/main_panel.h"
#include "station/platform_menu.h"
#include "station/port_discovery.h"
#include "station/run_records.h"
#include "station/slot_binding.h"
#include "station/station_config.h"
#include "station/station_services.h"
#include "station/station_state.h"
#include "station/worker_scheduling.h"

namespace {

using host::Control;

std::atomic<bool> gRunning{false};

// The panels as they come up: every option box and item enabled, Stop dimmed, nothing checked.
void showFreshPanels() {
  mainPanel().reset();
  for (int i = 0; i < host::kControlCount; ++i) {
    mainPanel().set(static_cast<Control>(i), host::ControlState{});
  }
  mainPanel().setDimmed(Control::Stop, true);
}

// Each option box shows its option and is visible only while the option is on.
void showOptionBoxes() {
  const std::pair<Control, bool> boxes[] = {
      {Control::BackupRestoreQcn, gBackupRestoreQcn},
      {Control::OnlyAp, gOnlyAp},
      {Control::OnlyQcn, gOnlyQcn},
  };
  for (const auto& [box, on] : boxes) mainPanel().set(box, {on, false, on});
}

// Checks the configured platform's item and dims the items cfg.ini does not enable.
PlatformType showConfiguredPlatform(const StationConfig& config) {
  CurrentPlatform current = platformFromCurrent(config.current);
  checkOnlyPlatformItem(current.checkedItem);
  if (current.type == kQca9x07 && gBackCtrlVisble) {
    mainPanel().setVisible(Control::BackupRestoreQcn, true);
    mainPanel().setVisible(Control::OnlyQcn, true);
  }
  for (const PlatformMenuItem& entry : kPlatformMenu) {
    mainPanel().setDimmed(entry.item, !platformItemEnabled(config, entry.enablingKey));
  }
  return current.type;
}

void showTitle() {
  char title[600];
  std::snprintf(title, sizeof title, "%s(Build:%s %s)", sSoftVersion.c_str(), buildDate(),
                buildTime());
  host::surface().setTitle(title);
  host::surface().setVersionText(sSoftVersion);
}

// Start-up up to the event loop. False when the station has to go straight to shutdown.
bool startUp(StationConfig& config) {
  host::clearStop();
  resetStationState();
  resetDutTimers();
  showFreshPanels();
  gCfgIni = Ini_New(0);
  if (!gCfgIni) return false;
  Ini_ReadFromFile(gCfgIni, kCfgIniFile);
  config = readStationConfig(gCfgIni);
  startRunRecords(config);
  setDutCount(config.dutCount);
  configureSlotBindings(config.dutCount, config.pinnedPorts);
  host::surface().setDutCount(config.dutCount);
  showOptionBoxes();
  em = showConfiguredPlatform(config);
  platform_dispose();
  if (!platfrom_create_instance(em)) return false;
  enableStartForLoad(loadFileList());
  refreshFolderText();
  showTitle();
  return true;
}

void shutDown() {
  gRunning = false;
  Ini_Dispose(gCfgIni);
  gCfgIni = nullptr;
  unregisterDeviceNotifications();
  // Every wait of a worker ends now, including one that is queued and not yet running.
  host::requestStop();
  stopAllSlots();
  host::surface().setWaitCursor(true);
  destroySlotPools();
  if (gThreadPool) {
    gThreadPool->shutdown();
    delete gThreadPool;
    gThreadPool = nullptr;
  }
  host::surface().setWaitCursor(false);
  resetSlotBindings();
  resetDutTimers();
  platform_dispose();
  stopRunRecords();
  // No program the station started outlives it; other processes are never touched.
  host::endOwnChildren();
}

}  // namespace

int stationMain() {
  if (!platformRows()) installPlatformRows(chipsetPlatformRow);
  host::EventLoop& loop = host::uiLoop();
  StationConfig config;
  const bool bound = loop.bind();
  installStationServices();
  if (bound && startUp(config)) {
    try {
      gThreadPool = new host::WorkerPool(loop);
      createSlotPools(loop);
    } catch (const std::system_error&) {
      destroySlotPools();
      delete gThreadPool;
      gThreadPool = nullptr;
      Ini_Dispose(gCfgIni);
      gCfgIni = nullptr;
      platform_dispose();
      removeStationServices();
      loop.detach();
      return -1;
    }
    dutSlots().resetSlots(config.diaport);
    gRunning = true;
    loop.run();
  }
  shutDown();
  removeStationServices();
  if (bound) loop.detach();
  return 0;
}

bool stationRunning() {
  return gRunning;
}

int panelCB(int event) {
  if (event != kPanelCloseEvent) return 0;
  // From the close on nothing answers the operator: an action queued behind the close (a Start
  // in the same batch of clicks) must not start anything on a station about to shut down.
  gRunning = false;
  host::uiLoop().quit();
  return 0;
}

void fnMenuAboutHlpCB() {
  if (!sHelpFile.empty()) host::surface().openDocument(sHelpFile);
}
