#pragma once
// Shared ground for the window tests: one QApplication (offscreen unless QT_QPA_PLATFORM says
// otherwise), a temporary working directory, a fake platform whose file-list operations record
// the station's calls, a scripted answerer for the station's dialogs, and a run of the real
// window that plays a script once the station is up.

#include <gtest/gtest.h>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/process_killer.h"
#include "platform/platform.h"

// Readable QStrings in the tests' failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

class QtStation;
class QAction;
class QMenu;
class QWidget;

namespace guitest {

// Every table made from it records its calls here. load() fills row 1 with `folder` and then
// `files` rows named file1, file2, ...; save() keeps row 1 as the folder; auto-load takes it.
struct FakePlatform {
  static void reset();
  static inline int loadResult = 0;
  static inline std::string folder;
  static inline int files = 0;
  static inline std::vector<std::string> calls;  // "create 3", "load", "save", "autoLoad /fw"
};

// A dialog the station opened, as the operator saw it.
struct SeenDialog {
  std::string kind;  // "message", "file" or "folder"
  QString title;
  QString text;  // message text
  QStringList filters;
  QString directory;  // where a chooser opened
  QString acceptLabel;
};

// Answers the station's modal dialogs as they show: message boxes are acknowledged, choosers
// take the next queued answer (a path, or nullopt for cancel); a chooser without an answer is
// cancelled, so a test never hangs on a dialog.
class DialogAnswerer : public QObject {
 public:
  DialogAnswerer();
  ~DialogAnswerer() override;
  void queueAnswer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  const std::vector<SeenDialog>& seen() const { return seen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<SeenDialog> seen_;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void writeFile(const std::string& name, const std::string& text);
  // A value of cfg.ini as written now; nullopt when absent.
  std::optional<std::string> cfgString(const std::string& section, const std::string& key);
  std::optional<bool> cfgBool(const std::string& section, const std::string& key);

  // Runs the station with its window; `script` plays once the station's loop runs, and the
  // main panel is closed after it. Returns the station's exit code.
  int runStation(const std::function<void(QtStation&)>& script);

  // Lets the window carry out what the script did: queued clicks, reports, redraws.
  void settle(QtStation& station);

  // The operator's clicks.
  void clickMenuBarItem(QtStation& station, QAction* action);
  void choosePlatformItem(QtStation& station, QAction* item);
  void clickWidget(QWidget* widget);
  void clickFileCell(QtStation& station, int row, int column);

  // Saves the main panel (or `widget`) as <name>.png in the tests' output folder.
  void saveScreenshot(QWidget* widget, const std::string& name);

  std::filesystem::path dir_;
  host::RecordingProcessKiller killer_;
  DialogAnswerer* answerer_ = nullptr;

 private:
  std::filesystem::path previousDir_;
  PlatformRowSource previousRows_ = nullptr;
};

}  // namespace guitest
