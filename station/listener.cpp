#include "station/listener.h"

#include "host/clock.h"
#include "station/dut_slots.h"
#include "station/main_panel.h"
#include "station/port_discovery.h"
#include "station/station_state.h"

namespace {

using host::Control;

void startListening() {
  if (!registerDeviceNotifications()) return;
  host::clearStop();
  MainPanel& panel = mainPanel();
  panel.setDimmed(Control::Start, true);
  panel.setDimmed(Control::PlatformMenu, true);
  panel.setDimmed(Control::Stop, false);
  panel.setDimmed(Control::BackupRestoreQcn, true);
  panel.setDimmed(Control::OnlyAp, true);
  panel.setDimmed(Control::OnlyQcn, true);
  listening = 1;
  if (ScanComPorts() == 0) ScanFastbootDevices();
}

// Arrivals are no longer acted on; removals still are, until shutdown.
void stopListening() {
  stopAllSlots();
  MainPanel& panel = mainPanel();
  panel.setDimmed(Control::Start, false);
  panel.setDimmed(Control::PlatformMenu, false);
  panel.setDimmed(Control::Stop, true);
  // The AP-only box stays dimmed until the next start-up.
  panel.setDimmed(Control::BackupRestoreQcn, false);
  panel.setDimmed(Control::OnlyQcn, false);
  listening = 0;
  dutSlots().clearPresent();
}

}  // namespace

void fnListenerCB(ListenerItem item) {
  if (item == ListenerItem::Start) {
    startListening();
  } else {
    stopListening();
  }
}
