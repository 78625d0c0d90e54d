#pragma once
// What the operator sees, at the level of roles: the DUT row, message boxes and the rest of
// the main panel, the file panel and the dialogs. The Qt window and the headless station each
// implement it. Status and progress arrive on the UI thread (the reporting carries them there);
// every other method may be called from any thread: an implementation carries the change to
// its UI thread and returns once the change is drawn. Methods beyond the DUT row and the message
// box have do-nothing defaults, so a surface implements only what it shows.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/colour.h"
#include "host/file_table.h"

namespace host {

// The controls of the main panel and its menus whose state the station changes.
enum class Control {
  BackupRestoreQcn,  // option box: back up and restore the QCN
  OnlyAp,            // option box: AP images only
  OnlyQcn,           // option box: QCN restore only
  Start,             // menu item
  Stop,              // menu item
  PlatformMenu,      // the platform menu as a whole
  // The platform menu's items, in menu order.
  Qca6270,
  Qca6695,
  Qca9206,
  Qca9x15,
  Qca9x07,
  Qca8909,
};
inline constexpr int kControlCount = 12;

// "backup", "aponly", "qcnonly", "start", "stop", "platform", or the platform item's name
// ("Qca6270", ...).
const char* controlName(Control control);
// The control of that name; nullopt for an unknown name.
std::optional<Control> controlFromName(const std::string& name);

struct ControlState {
  bool visible = true;
  bool dimmed = false;
  bool checked = false;
  bool operator==(const ControlState&) const = default;
};

// A file chooser: title, type pattern (";" separates several) and the folder it starts in.
struct FileChooserRequest {
  std::string title;
  std::string pattern;
  std::string directory;
};

// A folder browser. Before it shows, the backend calls `onInitialised` with the folder it
// would start on; the station may change it (it pre-selects the current firmware folder).
struct FolderBrowserRequest {
  std::string title;
  std::function<void(std::string& selection)> onInitialised;
};

class OperatorSurface {
 public:
  virtual ~OperatorSurface() = default;

  // The DUT row; `dut` is the 1-based DUT number.
  virtual void setDutMessage(int dut, const std::string& text) = 0;
  virtual void setDutProgress(int dut, double percent, const std::string& caption) = 0;
  // A status report: the value as reported, the lamp's colour and whether it is lit, and the
  // colour of the message line's text.
  virtual void setDutStatus(int dut, int status, Rgb lamp, bool lampOn, Rgb text) = 0;

  // A modal message box; returns when the operator has closed it.
  virtual void messageBox(const std::string& title, const std::string& text) = 0;

  // How many DUT rows the panel shows (1 to 8); set at start-up before any row changes.
  virtual void setDutCount(int count) {}
  // The rest of the DUT row: elapsed-time text and the list of its ports ("COM%d" items).
  virtual void setDutTime(int dut, const std::string& text) {}
  virtual void setDutPorts(int dut, const std::vector<std::string>& items) {}

  // Main panel and menus.
  virtual void setControl(Control control, const ControlState& state) {}
  virtual void setControlLabel(Control control, const std::string& label) {}
  virtual void setTitle(const std::string& text) {}
  virtual void setVersionText(const std::string& text) {}
  // The name of the firmware folder.
  virtual void setFolderText(const std::string& text) {}
  // The name of the EFS backup file found in the firmware folder, or a warning.
  virtual void setQmbnText(const std::string& text) {}
  virtual void setWaitCursor(bool on) {}

  // The firmware file panel: its table as it now reads, and whether the panel is shown (it is
  // modal while shown).
  virtual void setFileTable(const std::vector<FileRow>& rows) {}
  virtual void showFilePanel(bool visible) {}

  // Dialogs. Each returns the operator's choice, or nullopt when the operator cancelled.
  virtual std::optional<std::string> chooseFile(const FileChooserRequest& request) {
    return std::nullopt;
  }
  virtual std::optional<std::string> browseFolder(const FolderBrowserRequest& request) {
    return std::nullopt;
  }
  // Opens a document with the desktop's viewer for its type, without waiting.
  virtual void openDocument(const std::string& path) {}
};

// The surface every layer reports to. Until one is installed, a surface that ignores
// everything stands in, so library code and tools run without a window.
OperatorSurface& surface();
// Installs `s` (not owned; null restores the silent surface). Returns the previous one.
OperatorSurface* installSurface(OperatorSurface* s);

}  // namespace host
