#include "gui_fixture.h"

#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "station/startup.h"
#include "ui/qt/file_panel_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_station.h"

// The font library keeps a cache for the life of the process that the leak checker would
// report at exit; it is not the station's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace guitest {
namespace {

int fakeLoad(host::FileTable& table) {
  FakePlatform::calls.push_back("load");
  table.clear();
  table.appendRow("Firmware Path", FakePlatform::folder);
  for (int i = 1; i <= FakePlatform::files; ++i) {
    int row = table.appendRow("File" + std::to_string(i),
                              FakePlatform::folder + "/file" + std::to_string(i));
    // Odd files are found, even ones missing, so both cell colours show.
    table.setColour(row, i % 2 ? host::kGreen : host::kRed);
  }
  return FakePlatform::loadResult;
}

int fakeAutoLoad(host::FileTable& table, const char* folder) {
  FakePlatform::calls.push_back(std::string("autoLoad ") + folder);
  FakePlatform::folder = folder;
  return fakeLoad(table);
}

int fakeSave(host::FileTable& table) {
  FakePlatform::calls.push_back("save");
  FakePlatform::folder = table.path(1);
  return 0;
}

int fakeStep(const DownloadRequest&) {
  return -1;
}
int fakeCompleted() {
  return 0;
}

PlatformOps gRow{0, fakeAutoLoad, fakeLoad, fakeSave, fakeStep, fakeStep, fakeStep, fakeCompleted};

const PlatformOps* fakePlatformRows(PlatformType type) {
  FakePlatform::calls.push_back("create " + std::to_string(type));
  return &gRow;
}

QApplication& application() {
  static int argc = 1;
  static char name[] = "zendral_gui_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace

void FakePlatform::reset() {
  loadResult = 0;
  folder.clear();
  files = 0;
  calls.clear();
}

DialogAnswerer::DialogAnswerer() {
  qApp->installEventFilter(this);
}

DialogAnswerer::~DialogAnswerer() {
  qApp->removeEventFilter(this);
}

bool DialogAnswerer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show) return false;
  if (auto* box = qobject_cast<QMessageBox*>(watched)) {
    seen_.push_back({"message", box->windowTitle(), box->text(), {}, {}, {}});
    QPointer<QMessageBox> target(box);
    QTimer::singleShot(0, box, [target] {
      if (target) target->accept();
    });
    return false;
  }
  auto* chooser = qobject_cast<QFileDialog*>(watched);
  if (!chooser) return false;
  const bool folder = chooser->fileMode() == QFileDialog::Directory;
  seen_.push_back({folder ? "folder" : "file",
                   chooser->windowTitle(),
                   {},
                   chooser->nameFilters(),
                   chooser->directory().absolutePath(),
                   chooser->labelText(QFileDialog::Accept)});
  std::optional<std::string> answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  QPointer<QFileDialog> target(chooser);
  QTimer::singleShot(0, chooser, [target, answer, folder] {
    if (!target) return;
    if (answer) {
      const QString path = QString::fromStdString(*answer);
      if (folder) {
        target->setDirectory(path);
      } else {
        target->selectFile(path);
      }
      // QFileDialog keeps its accept() protected; the dialog's own accept runs all the same.
      static_cast<QDialog*>(target.data())->accept();
    }
    // A refused answer (no such file) leaves the dialog open: cancel it rather than hang.
    if (target && target->isVisible()) target->reject();
  });
  return false;
}

void GuiTest::SetUp() {
  application();
  dir_ = std::filesystem::temp_directory_path() /
         ("zendral-gui-" + std::to_string(getpid()) + "-" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  previousDir_ = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  FakePlatform::reset();
  previousRows_ = installPlatformRows(fakePlatformRows);
  host::installProcessKiller(&killer_);
  resetStationOptions();
  answerer_ = new DialogAnswerer;
}

void GuiTest::TearDown() {
  delete answerer_;
  answerer_ = nullptr;
  platform_dispose();
  installPlatformRows(previousRows_);
  host::installProcessKiller(nullptr);
  host::installSurface(nullptr);
  std::filesystem::current_path(previousDir_);
  std::filesystem::remove_all(dir_);
}

void GuiTest::writeFile(const std::string& name, const std::string& text) {
  std::filesystem::create_directories((dir_ / name).parent_path());
  std::ofstream(dir_ / name) << text;
}

std::optional<std::string> GuiTest::cfgString(const std::string& section, const std::string& key) {
  IniDocumentPtr doc(Ini_New(0));
  if (Ini_ReadFromFile(doc.get(), (dir_ / "cfg.ini").c_str()) < 0) return std::nullopt;
  char value[512] = {};
  if (Ini_GetStringIntoBuffer(doc.get(), section.c_str(), key.c_str(), value, sizeof value) <= 0) {
    return std::nullopt;
  }
  return std::string(value);
}

std::optional<bool> GuiTest::cfgBool(const std::string& section, const std::string& key) {
  IniDocumentPtr doc(Ini_New(0));
  if (Ini_ReadFromFile(doc.get(), (dir_ / "cfg.ini").c_str()) < 0) return std::nullopt;
  int value = 0;
  if (Ini_GetBoolean(doc.get(), section.c_str(), key.c_str(), &value) <= 0) return std::nullopt;
  return value != 0;
}

int GuiTest::runStation(const std::function<void(QtStation&)>& script) {
  QtStation station;
  QObject guard;
  std::function<void()> begin = [&] {
    // Start-up may show dialogs of its own; the script plays once the station's loop runs.
    if (!stationRunning()) {
      QTimer::singleShot(0, &guard, begin);
      return;
    }
    script(station);
    settle(station);
    // The file panel is modal: close it first, as the operator would have to.
    if (station.filePanel().isVisible()) {
      clickWidget(&station.filePanel().closeButton());
      settle(station);
    }
    station.window().close();
  };
  QTimer::singleShot(0, &guard, begin);
  return station.run();
}

void GuiTest::settle(QtStation& station) {
  // Queued clicks, the UI loop's tasks and the redraws they cause; a few rounds more than
  // needed so that what one round queues is handled by the next.
  for (int round = 0; round < 200; ++round) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool idle = !station.actions().busy() && host::uiLoop().pendingTasks() == 0;
    if (idle && round >= 3) break;
  }
}

void GuiTest::clickMenuBarItem(QtStation& station, QAction* action) {
  QMenuBar* bar = station.window().menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
}

void GuiTest::choosePlatformItem(QtStation& station, QAction* item) {
  QMenu& menu = station.window().platformMenu();
  clickMenuBarItem(station, menu.menuAction());
  QCoreApplication::processEvents();
  ASSERT_TRUE(menu.isVisible()) << "the platform menu opened";
  QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
  QCoreApplication::processEvents();
  // A click on a dimmed item leaves the menu open; the operator then closes it.
  if (menu.isVisible()) menu.close();
}

void GuiTest::clickWidget(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton);
}

void GuiTest::clickFileCell(QtStation& station, int row, int column) {
  QTableWidget& table = station.filePanel().table();
  QTableWidgetItem* item = table.item(row - 1, column - 1);
  ASSERT_NE(item, nullptr) << "cell " << row << "," << column;
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualItemRect(item).center());
}

void GuiTest::saveScreenshot(QWidget* widget, const std::string& name) {
  std::filesystem::path out = ZENDRAL_GUI_OUTPUT_DIR;
  std::filesystem::create_directories(out);
  const QString file = QString::fromStdString((out / (name + ".png")).string());
  EXPECT_TRUE(widget->grab().save(file)) << file.toStdString();
}

}  // namespace guitest
