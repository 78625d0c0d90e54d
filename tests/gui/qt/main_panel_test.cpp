// The main panel as the operator uses it: option boxes, the platform menu, Start and Stop,
// help, the title and texts, and the DUT row drawing reports that workers make.

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QTableWidget>

#include <QPushButton>

#include "gui_fixture.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "host/station_options.h"
#include "station/startup.h"
#include "station/station_state.h"
#include "ui/qt/dut_row.h"
#include "ui/qt/file_panel_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_station.h"
#include "ui/qt/qt_surface.h"
#include "ui/qt/status_lamp.h"

namespace guitest {
namespace {

using host::Control;

using MainPanelTest = GuiTest;

TEST_F(MainPanelTest, OptionBoxesWriteCfgIniAndPullEachOtherAlong) {
  writeFile("cfg.ini", "[Platform]\nBacupRestorQcn = True\nOnlyAP = True\nOnlyQcn = True\n");
  std::optional<bool> afterBackupOff, qcnAfterBackupOff, afterApOff;
  std::optional<bool> apVisible, qcnVisible;
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    QCheckBox* backup = window.optionBox(Control::BackupRestoreQcn);
    QCheckBox* onlyAp = window.optionBox(Control::OnlyAp);
    QCheckBox* onlyQcn = window.optionBox(Control::OnlyQcn);
    ASSERT_TRUE(backup->isVisibleTo(&window));
    ASSERT_TRUE(backup->isChecked());

    clickWidget(backup);
    settle(station);
    afterBackupOff = cfgBool("Platform", "BacupRestorQcn");
    qcnAfterBackupOff = cfgBool("Platform", "OnlyQcn");
    EXPECT_FALSE(backup->isChecked());
    EXPECT_FALSE(onlyQcn->isChecked()) << "QCN-only needs backup/restore";

    clickWidget(onlyAp);
    settle(station);
    afterApOff = cfgBool("Platform", "OnlyAP");
    EXPECT_FALSE(gOnlyAp);

    clickWidget(onlyQcn);
    settle(station);
    EXPECT_TRUE(onlyQcn->isChecked());
    EXPECT_TRUE(backup->isChecked()) << "QCN-only turns backup/restore on";
    apVisible = onlyAp->isVisibleTo(&window);
    qcnVisible = onlyQcn->isVisibleTo(&window);

    // Firmware with an EFS image renames the backup box.
    host::surface().setControlLabel(Control::BackupRestoreQcn, "Qmbn Backup And Recovery");
    EXPECT_EQ(backup->text(), "Qmbn Backup And Recovery");
  });
  EXPECT_EQ(afterBackupOff, false);
  EXPECT_EQ(qcnAfterBackupOff, false);
  EXPECT_EQ(afterApOff, false);
  EXPECT_EQ(cfgBool("Platform", "OnlyQcn"), true);
  EXPECT_EQ(cfgBool("Platform", "BacupRestorQcn"), true);
  // A box stays visible once shown; it is its start-up setting that hides it.
  EXPECT_EQ(apVisible, true);
  EXPECT_EQ(qcnVisible, true);
}

TEST_F(MainPanelTest, BoxesOffAtStartUpAreHiddenExceptOnQca9x07WithBackCtrlVisble) {
  std::vector<bool> plain, qca9x07;
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    for (Control box : {Control::BackupRestoreQcn, Control::OnlyAp, Control::OnlyQcn}) {
      plain.push_back(window.optionBox(box)->isVisibleTo(&window));
    }
    // With no box to show, their frame goes too.
    EXPECT_FALSE(window.optionBox(Control::OnlyAp)->parentWidget()->isVisibleTo(&window));
  });
  EXPECT_EQ(plain, (std::vector<bool>{false, false, false}));

  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\nBackCtrlVisble = True\n");
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    for (Control box : {Control::BackupRestoreQcn, Control::OnlyAp, Control::OnlyQcn}) {
      qca9x07.push_back(window.optionBox(box)->isVisibleTo(&window));
    }
    // A click on a hidden box cannot happen; one queued before it was hidden does nothing.
    station.actions().clickBox(Control::OnlyAp, true);
    settle(station);
    EXPECT_FALSE(gOnlyAp);
  });
  EXPECT_EQ(qca9x07, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(cfgBool("Platform", "OnlyAP"), std::nullopt);
}

TEST_F(MainPanelTest, PlatformMenuChecksOneItemAndOpensTheModalFilePanel) {
  writeFile("cfg.ini",
            "[Platform]\ncurrent = Qca_6270\nSupportHalvoC = True\nSupportHalvoE = True\n");
  FakePlatform::folder = "/firmware/Build-7";
  FakePlatform::files = 3;
  std::vector<std::string> itemsInOrder;
  std::vector<bool> checked, enabled;
  bool panelShown = false, panelModal = false;
  int rows = 0;
  QString folder;
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    for (QAction* action : window.platformMenu().actions()) {
      itemsInOrder.push_back(action->text().toStdString());
    }
    choosePlatformItem(station, window.menuAction(Control::Qca9x07));
    settle(station);
    for (QAction* action : window.platformMenu().actions()) {
      checked.push_back(action->isChecked());
      enabled.push_back(action->isEnabled());
    }
    panelShown = station.filePanel().isVisible();
    panelModal = station.filePanel().isModal();
    rows = station.filePanel().table().rowCount();
    folder = window.folderText();
    saveScreenshot(&station.filePanel(), "file_panel");
    // While the modal panel is shown, the main panel's items do nothing.
    station.actions().triggerItem(Control::Qca6270);
    settle(station);
    EXPECT_TRUE(window.menuAction(Control::Qca9x07)->isChecked());
  });
  EXPECT_EQ(itemsInOrder, (std::vector<std::string>{"Qca6270", "Qca6695", "Qca9206", "Qca9x15",
                                                    "Qca9x07", "Qca8909"}));
  EXPECT_EQ(checked, (std::vector<bool>{false, false, false, false, true, false}));
  EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, false, true, false}));
  EXPECT_TRUE(panelShown);
  EXPECT_TRUE(panelModal);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(folder, "Build-7");
  EXPECT_EQ(cfgString("Platform", "current"), "Qca_9x07");
}

TEST_F(MainPanelTest, ADimmedPlatformItemDoesNothing) {
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\nSupportHalvoC = True\n");
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    choosePlatformItem(station, window.menuAction(Control::Qca8909));
    settle(station);
    EXPECT_FALSE(station.filePanel().isVisible());
    EXPECT_TRUE(window.menuAction(Control::Qca9x07)->isChecked());
    EXPECT_FALSE(window.menuAction(Control::Qca8909)->isChecked());
  });
  EXPECT_EQ(cfgString("Platform", "current"), "Qca_9x07");
}

TEST_F(MainPanelTest, TitleVersionAndStartStopFollowTheStation) {
  writeFile("cfg.ini", "[Platform]\nVersion = Zendral-L V2.1\n");
  QString title, version;
  std::vector<bool> startEnabled, stopEnabled, menuEnabled;
  auto sample = [&](QtStation& station) {
    MainWindow& window = station.window();
    startEnabled.push_back(window.menuAction(Control::Start)->isEnabled());
    stopEnabled.push_back(window.menuAction(Control::Stop)->isEnabled());
    menuEnabled.push_back(window.platformMenu().menuAction()->isEnabled());
  };
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    title = window.windowTitle();
    version = window.versionText();
    sample(station);
    clickMenuBarItem(station, window.menuAction(Control::Start));
    settle(station);
    sample(station);
    EXPECT_EQ(listening, 1);
    clickMenuBarItem(station, window.menuAction(Control::Stop));
    settle(station);
    sample(station);
    EXPECT_EQ(listening, 0);
  });
  EXPECT_EQ(title.toStdString(),
            std::string("Zendral-L V2.1(Build:") + buildDate() + " " + buildTime() + ")");
  EXPECT_EQ(version, "Zendral-L V2.1");
  EXPECT_EQ(startEnabled, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(stopEnabled, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(menuEnabled, (std::vector<bool>{true, false, true}));
}

TEST_F(MainPanelTest, AStartQueuedBehindTheCloseStartsNothing) {
  int listeningAfter = -1;
  runStation([&](QtStation& station) {
    // Both clicks arrive before the window carries out either.
    station.actions().closeMainPanel();
    station.actions().triggerItem(Control::Start);
    settle(station);
    listeningAfter = listening;
  });
  EXPECT_EQ(listeningAfter, 0);
  EXPECT_FALSE(stationRunning());
}

TEST_F(MainPanelTest, HelpOpensTheDocumentWithTheDesktopViewer) {
  writeFile("cfg.ini", "[Platform]\nHelp = docs/manual.pdf\n");
  std::vector<QUrl> opened;
  runStation([&](QtStation& station) {
    station.surface().setDocumentOpener([&](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
    clickMenuBarItem(station, &station.window().helpAction());
    settle(station);
  });
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString((dir_ / "docs/manual.pdf"))));
}

}  // namespace
}  // namespace guitest
