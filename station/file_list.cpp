#include "station/file_list.h"

#include "host/operator_surface.h"
#include "platform/platform.h"
#include "station/main_panel.h"
#include "station/run_records.h"
#include "station/station_state.h"

namespace {

// A platform whose load gave up before building its table still offers row 1, so that the
// operator can choose the firmware folder and the platform can start from there.
int showTableAfter(int result) {
  if (!gFileTable.hasRow(1)) gFileTable.appendRow("Firmware Path", "");
  host::surface().setFileTable(gFileTable.rows());
  if (result >= 0) noteFirmwareLoaded(gFileTable);
  return result;
}

}  // namespace

int loadFileList() {
  if (!pPlatforms || !pPlatforms->load) return -1;
  return showTableAfter(pPlatforms->load(gFileTable));
}

int saveFileList() {
  if (!pPlatforms || !pPlatforms->save) return -1;
  return showTableAfter(pPlatforms->save(gFileTable));
}

int autoLoadFileList(const std::string& folder) {
  if (!pPlatforms || !pPlatforms->autoLoad) return -1;
  return showTableAfter(pPlatforms->autoLoad(gFileTable, folder.c_str()));
}

void enableStartForLoad(int loadResult) {
  mainPanel().setDimmed(host::Control::Start, loadResult < 0);
}

std::string folderNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void refreshFolderText() {
  host::surface().setFolderText(folderNameOf(gFileTable.path(1)));
}
