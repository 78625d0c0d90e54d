#include "station/file_panel.h"

#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "station/file_list.h"
#include "station/main_panel.h"
#include "station/platform_menu.h"
#include "station/station_state.h"

namespace {

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

// The programmer file of each platform, in probing order: the first one the folder holds
// decides. A folder with none of them is taken for Qca8909.
struct Programmer {
  const char* fileName;
  PlatformType type;
};
constexpr Programmer kProgrammers[] = {
    {"NPRG6695.hex", kQca6695}, {"NPRG6270.hex", kQca6270}, {"NPRG9x06.mbn", kQca9206},
    {"NPRG9x07.mbn", kQca9x07}, {"NPRG9x15.hex", kQca9x15},
};

// The file chooser of a table row, by platform: on Qca8909 rows 2 to 6 each choose one kind of
// file (other rows choose nothing); elsewhere every row chooses any file.
std::optional<host::FileChooserRequest> chooserForRow(PlatformType type, int row) {
  if (type != kQca8909) return host::FileChooserRequest{"select file", "*.*", ""};
  switch (row) {
    case 2:
      return host::FileChooserRequest{"select FireHose Programmer file",
                                      "*firehose*.mbn;*firehose*.elf", ""};
    case 3:
      return host::FileChooserRequest{"select RawProgram File", "rawprogram*.xml", ""};
    case 4:
      return host::FileChooserRequest{"select Patch File file", "patch*.xml", ""};
    case 5:
      return host::FileChooserRequest{"select cdtRawprogramfile file", "rawprogram*.xml", ""};
    case 6:
      return host::FileChooserRequest{"select cdtPatchfile  file", "patch*.xml", ""};
    default:
      return std::nullopt;
  }
}

// Row 1: the operator picks the firmware folder; the platform follows from its programmer.
// Returns -1 when no platform table can be made, 1 when the click ends without the refresh.
int chooseFirmwareFolder() {
  host::FolderBrowserRequest request;
  request.title = kFirmwarePathTitle;
  request.onInitialised = [](std::string& selection) {
    BrowseNotify(kBrowserInitialised, selection);
  };
  std::optional<std::string> picked = host::surface().browseFolder(request);
  if (!picked) return 0;
  if (picked->empty()) return 1;
  gFileTable.setPath(1, *picked);
  g_em = AutoGetCurPlatform(*picked);
  platform_dispose();
  if (!platfrom_create_instance(g_em)) return -1;
  saveFileList();
  autoLoadFileList(*picked);
  return 0;
}

// Another row: the operator picks that entry's file, starting in the firmware folder.
void chooseFirmwareFile(int row) {
  std::optional<host::FileChooserRequest> request = chooserForRow(pPlatforms->type, row);
  if (!request) return;
  request->directory = gFileTable.path(1);
  std::optional<std::string> picked = host::surface().chooseFile(*request);
  if (!picked || !fileExists(*picked)) return;
  gFileTable.setPath(row, *picked);
  saveFileList();
}

}  // namespace

void fnSelectPlatformCB(host::Control item) {
  const PlatformMenuItem* entry = platformMenuItem(item);
  if (!entry) return;
  checkOnlyPlatformItem(item);
  em = entry->type;
  if (gCfgIni) Ini_PutString(gCfgIni, "Platform", "current", entry->currentName);
  writeCfgIni();
  platform_dispose();
  if (platfrom_create_instance(em)) {
    enableStartForLoad(loadFileList());
    mainPanel().showFilePanel(true);
  }
  mainPanel().setDimmed(host::Control::OnlyAp, true);
  if (pPlatforms) refreshFolderText();
}

int FilePanelQuit() {
  if (!pPlatforms) return 0;
  mainPanel().showFilePanel(false);
  saveFileList();
  enableStartForLoad(loadFileList());
  refreshFolderText();
  return 0;
}

int TableCB(int row, int column) {
  if (column != 2 || !gFileTable.hasRow(row)) return 0;
  if (row == 1) {
    int outcome = chooseFirmwareFolder();
    if (outcome != 0) return outcome < 0 ? -1 : 0;
  } else if (pPlatforms) {
    chooseFirmwareFile(row);
  }
  if (pPlatforms) refreshFolderText();
  return 0;
}

int BrowseNotify(int message, std::string& selection) {
  if (message != kBrowserInitialised) return 0;
  selection = gFileTable.path(1);
  return 1;
}

PlatformType AutoGetCurPlatform(const std::string& folder) {
  PlatformType found = kQca8909;
  for (const Programmer& programmer : kProgrammers) {
    if (fileExists(folder + "/" + programmer.fileName)) {
      found = programmer.type;
      break;
    }
  }
  const PlatformMenuItem* entry = platformMenuItemOfType(found);
  checkOnlyPlatformItem(entry ? std::optional(entry->item) : std::nullopt);
  return found;
}
