// The firmware file panel: its table, the folder browser and the file choosers the station
// opens from it, the close control, and the message boxes.

#include <QFileDialog>
#include <QTableWidget>

#include <QPushButton>

#include "gui_fixture.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "station/station_state.h"
#include "ui/qt/dialogs.h"
#include "ui/qt/file_panel_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_station.h"

namespace guitest {
namespace {

using host::Control;

class FilePanelTest : public GuiTest {
 protected:
  // The panel opened from the platform menu on `item`.
  void openPanel(QtStation& station, Control item) {
    choosePlatformItem(station, station.window().menuAction(item));
    settle(station);
    ASSERT_TRUE(station.filePanel().isVisible());
  }
};

TEST_F(FilePanelTest, TableShowsLabelsPathsChooseCellsAndColours) {
  writeFile("cfg.ini", "[Platform]\nSupportHalvoC = True\n");
  FakePlatform::folder = "/fw/Build-7";
  FakePlatform::files = 2;
  QStringList labels, paths, choose;
  QColor found, missing;
  runStation([&](QtStation& station) {
    openPanel(station, Control::Qca9x07);
    QTableWidget& table = station.filePanel().table();
    for (int row = 0; row < table.rowCount(); ++row) {
      labels << table.verticalHeaderItem(row)->text();
      paths << table.item(row, 0)->text();
      choose << table.item(row, 1)->text();
    }
    found = table.item(1, 0)->background().color();
    missing = table.item(2, 1)->background().color();
  });
  EXPECT_EQ(labels, (QStringList{"Firmware Path", "File1", "File2"}));
  EXPECT_EQ(paths, (QStringList{"/fw/Build-7", "/fw/Build-7/file1", "/fw/Build-7/file2"}));
  EXPECT_EQ(choose, (QStringList{"...", "...", "..."}));
  EXPECT_EQ(found, QColor(0, 255, 0));
  EXPECT_EQ(missing, QColor(255, 0, 0));
}

TEST_F(FilePanelTest, FolderBrowserPreselectsRowOneAndAChosenFolderFindsThePlatform) {
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\nSupportHalvoC = True\n");
  writeFile("start/Build-1/readme.txt", "x");
  writeFile("picked/Build-2/NPRG6695.hex", "x");
  writeFile("picked/Build-2/NPRG9x07.mbn", "x");
  FakePlatform::folder = (dir_ / "start/Build-1").string();
  const std::string picked = (dir_ / "picked/Build-2").string();
  answerer_->queueAnswer(picked);
  QString folderText;
  bool qca6695Checked = false;
  runStation([&](QtStation& station) {
    openPanel(station, Control::Qca9x07);
    FakePlatform::calls.clear();
    // Column 1 does nothing; the "..." cell of row 1 browses.
    clickFileCell(station, 1, 1);
    settle(station);
    EXPECT_TRUE(answerer_->seen().empty());
    clickFileCell(station, 1, 2);
    settle(station);
    folderText = station.window().folderText();
    qca6695Checked = station.window().menuAction(Control::Qca6695)->isChecked();
  });
  ASSERT_EQ(answerer_->seen().size(), 1u);
  const SeenDialog& browser = answerer_->seen()[0];
  EXPECT_EQ(browser.kind, "folder");
  EXPECT_EQ(browser.title, "Firmware Path:");
  EXPECT_EQ(browser.directory.toStdString(), (dir_ / "start/Build-1").string());
  EXPECT_EQ(FakePlatform::calls, (std::vector<std::string>{"create 5", "save", "autoLoad " + picked,
                                                           "load", "save", "load"}));
  EXPECT_EQ(folderText, "Build-2");
  EXPECT_TRUE(qca6695Checked);
  // Probing a folder does not change the configured platform.
  EXPECT_EQ(cfgString("Platform", "current"), "Qca_9x07");
}

TEST_F(FilePanelTest, Qca8909RowsOpenChoosersWithTheirTitlesAndPatterns) {
  writeFile("cfg.ini", "[Platform]\nSupportHalvoG = True\n");
  FakePlatform::folder = dir_.string();
  FakePlatform::files = 6;
  writeFile("prog_firehose_9x55.elf", "x");
  const std::string chosen = (dir_ / "prog_firehose_9x55.elf").string();
  answerer_->queueAnswer(chosen);
  QString row2Path;
  runStation([&](QtStation& station) {
    openPanel(station, Control::Qca8909);
    for (int row = 2; row <= 7; ++row) {
      clickFileCell(station, row, 2);
      settle(station);
    }
    row2Path = station.filePanel().table().item(1, 0)->text();
  });
  std::vector<std::pair<QString, QStringList>> choosers;
  for (const SeenDialog& dialog : answerer_->seen()) {
    EXPECT_EQ(dialog.kind, "file");
    EXPECT_EQ(dialog.directory.toStdString(), dir_.string());
    EXPECT_EQ(dialog.acceptLabel, "Select");
    choosers.emplace_back(dialog.title, dialog.filters);
  }
  // Row 7 chooses nothing on this platform.
  EXPECT_EQ(choosers, (std::vector<std::pair<QString, QStringList>>{
                          {"select FireHose Programmer file", {"*firehose*.mbn *firehose*.elf"}},
                          {"select RawProgram File", {"rawprogram*.xml"}},
                          {"select Patch File file", {"patch*.xml"}},
                          {"select cdtRawprogramfile file", {"rawprogram*.xml"}},
                          {"select cdtPatchfile  file", {"patch*.xml"}},
                      }));
  EXPECT_EQ(row2Path.toStdString(), chosen);
}

TEST_F(FilePanelTest, OtherPlatformsChooseAnyFileAndACancelChangesNothing) {
  writeFile("cfg.ini", "[Platform]\nSupportHalvoC = True\n");
  FakePlatform::folder = dir_.string();
  FakePlatform::files = 1;
  answerer_->queueAnswer(std::nullopt);
  std::vector<std::string> callsAfterCancel;
  runStation([&](QtStation& station) {
    openPanel(station, Control::Qca9x07);
    FakePlatform::calls.clear();
    clickFileCell(station, 2, 2);
    settle(station);
    callsAfterCancel = FakePlatform::calls;
  });
  ASSERT_EQ(answerer_->seen().size(), 1u);
  EXPECT_EQ(answerer_->seen()[0].title, "select file");
  EXPECT_EQ(answerer_->seen()[0].filters, (QStringList{"*"}));
  EXPECT_TRUE(callsAfterCancel.empty());
}

TEST_F(FilePanelTest, CloseControlHidesThePanelThenSavesAndReloads) {
  writeFile("cfg.ini", "[Platform]\nSupportHalvoC = True\n");
  FakePlatform::folder = "/fw/Build-7";
  std::vector<std::vector<std::string>> callsPerClose;
  std::vector<bool> hidden;
  runStation([&](QtStation& station) {
    // The Close button, then the window's own close control.
    for (int round = 0; round < 2; ++round) {
      openPanel(station, Control::Qca9x07);
      FakePlatform::calls.clear();
      if (round == 0) {
        clickWidget(&station.filePanel().closeButton());
      } else {
        station.filePanel().close();
      }
      settle(station);
      callsPerClose.push_back(FakePlatform::calls);
      hidden.push_back(!station.filePanel().isVisible());
    }
  });
  for (const auto& calls : callsPerClose) {
    EXPECT_EQ(calls, (std::vector<std::string>{"save", "load"}));
  }
  EXPECT_EQ(hidden, (std::vector<bool>{true, true}));
}

TEST_F(FilePanelTest, MessageBoxesShowTheirTitleAndTextFromAnyThread) {
  runStation([&](QtStation& station) {
    MessagePopup("Error", "can't find /fw/NPRG9x07.mbn file.");
    int id = gThreadPool->schedule([] {
      MessagePopup("error", "Not found firmware path!");
      return 0;
    });
    gThreadPool->waitUntilFinished(id);
    gThreadPool->release(id);
  });
  ASSERT_EQ(answerer_->seen().size(), 2u);
  EXPECT_EQ(answerer_->seen()[0].title, "Error");
  EXPECT_EQ(answerer_->seen()[0].text, "can't find /fw/NPRG9x07.mbn file.");
  EXPECT_EQ(answerer_->seen()[1].title, "error");
  EXPECT_EQ(answerer_->seen()[1].text, "Not found firmware path!");
}

TEST_F(FilePanelTest, QcnChooserFromAWorkerGetsItsAnswer) {
  writeFile("qcn/861234567890123.xqcn", "x");
  const std::string qcn = (dir_ / "qcn/861234567890123.xqcn").string();
  answerer_->queueAnswer(qcn);
  std::optional<std::string> answer;
  runStation([&](QtStation& station) {
    int id = gThreadPool->schedule([&] {
      answer = host::surface().chooseFile(
          {"Please select 1 DUT qcn file", "*.xqcn", (dir_ / "qcn").string()});
      return 0;
    });
    gThreadPool->waitUntilFinished(id);
    gThreadPool->release(id);
  });
  ASSERT_EQ(answerer_->seen().size(), 1u);
  EXPECT_EQ(answerer_->seen()[0].title, "Please select 1 DUT qcn file");
  EXPECT_EQ(answerer_->seen()[0].filters, (QStringList{"*.xqcn"}));
  EXPECT_EQ(answerer_->seen()[0].directory.toStdString(), (dir_ / "qcn").string());
  EXPECT_EQ(answer, qcn);
}

TEST(ChooserPatternTest, PatternsBecomeNameFilters) {
  EXPECT_EQ(nameFiltersOf("*firehose*.mbn;*firehose*.elf"),
            (QStringList{"*firehose*.mbn", "*firehose*.elf"}));
  EXPECT_EQ(nameFiltersOf("*.*"), (QStringList{"*"}));
  EXPECT_EQ(nameFiltersOf(""), (QStringList{"*"}));
  EXPECT_EQ(nameFiltersOf(";rawprogram*.xml; "), (QStringList{"rawprogram*.xml"}));
}

}  // namespace
}  // namespace guitest
