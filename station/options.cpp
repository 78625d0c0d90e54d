#include "station/options.h"

#include "host/station_options.h"
#include "station/main_panel.h"
#include "station/station_state.h"

namespace {

void storeOption(const char* key, bool value) {
  if (gCfgIni) Ini_PutBoolean(gCfgIni, "Platform", key, value ? 1 : 0);
  writeCfgIni();
}

}  // namespace

int fnBackupQcn(bool checked) {
  mainPanel().setChecked(host::Control::BackupRestoreQcn, checked);
  gBackupRestoreQcn = checked;
  storeOption("BacupRestorQcn", checked);
  if (!checked) {
    gOnlyQcn = false;
    mainPanel().setChecked(host::Control::OnlyQcn, false);
    storeOption("OnlyQcn", false);
  }
  return 0;
}

int fnOnlyAP(bool checked) {
  mainPanel().setChecked(host::Control::OnlyAp, checked);
  gOnlyAp = checked;
  storeOption("OnlyAP", checked);
  return 0;
}

int fnOnlyQCN(bool checked) {
  mainPanel().setChecked(host::Control::OnlyQcn, checked);
  gOnlyQcn = checked;
  storeOption("OnlyQcn", checked);
  if (checked) {
    gBackupRestoreQcn = true;
    mainPanel().setChecked(host::Control::BackupRestoreQcn, true);
    storeOption("BacupRestorQcn", true);
  }
  return 0;
}
