// Platform selection and the firmware file panel, called as the UI thread calls them, with the
// headless surface answering the dialogs.

#include "station/file_panel.h"

#include <gtest/gtest.h>

#include "host/operator_surface.h"
#include "ini/inifile.h"
#include "station/main_panel.h"
#include "station/station_state.h"
#include "station_fixture.h"
#include "ui/headless/headless_surface.h"

namespace stationtest {
namespace {

class FilePanelTest : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    resetStationState();
    mainPanel().reset();
    out_ = std::tmpfile();
    surface_ = std::make_unique<HeadlessSurface>(out_);
    host::installSurface(surface_.get());
    gCfgIni = Ini_New(0);
    Ini_PutString(gCfgIni, "Platform", "current", "Qca_6270");
  }
  void TearDown() override {
    Ini_Dispose(gCfgIni);
    gCfgIni = nullptr;
    host::installSurface(nullptr);
    surface_.reset();
    std::fclose(out_);
    StationTest::TearDown();
  }
  // A platform table of `type` whose list has the folder `folder` and `files` files.
  void loadPlatform(PlatformType type, const std::string& folder, int files) {
    FakePlatform::folder = folder;
    FakePlatform::files = files;
    platform_dispose();
    ASSERT_NE(platfrom_create_instance(type), nullptr);
    pPlatforms->load(gFileTable);
    FakePlatform::calls.clear();
  }
  std::vector<json> events() { return readEvents(out_); }
  std::string current() {
    char text[32] = "";
    Ini_GetStringIntoBuffer(gCfgIni, "Platform", "current", text, sizeof text);
    return text;
  }
  std::filesystem::path makeFolder(const std::string& name, std::vector<std::string> files) {
    std::filesystem::path folder = dir_ / name;
    std::filesystem::create_directories(folder);
    for (const std::string& file : files) writeFile(name + "/" + file, "x");
    return folder;
  }

  std::FILE* out_ = nullptr;
  std::unique_ptr<HeadlessSurface> surface_;
};

TEST_F(FilePanelTest, ProgrammerFilesDecideThePlatformInProbingOrder) {
  struct Case {
    std::vector<std::string> files;
    PlatformType type;
    const char* item;
  };
  const Case cases[] = {
      {{"NPRG6695.hex"}, kQca6695, "Qca6695"},
      {{"NPRG6270.hex"}, kQca6270, "Qca6270"},
      {{"NPRG9x06.mbn"}, kQca9206, "Qca9206"},
      {{"NPRG9x07.mbn"}, kQca9x07, "Qca9x07"},
      {{"NPRG9x15.hex"}, kQca9x15, "Qca9x15"},
      {{"NPRG9x07.mbn", "NPRG6695.hex"}, kQca6695, "Qca6695"},
      {{"NPRG9x15.hex", "NPRG9x06.mbn"}, kQca9206, "Qca9206"},
      {{"prog_emmc_firehose_8909_ddr.mbn"}, kQca8909, "Qca8909"},
      {{}, kQca8909, "Qca8909"},
      {{"nprg9x07.mbn"}, kQca8909, "Qca8909"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    auto folder = makeFolder("fw" + std::to_string(n++), c.files);
    EXPECT_EQ(AutoGetCurPlatform(folder.string()), c.type);
    for (const char* item : {"Qca6270", "Qca6695", "Qca9206", "Qca9x15", "Qca9x07", "Qca8909"}) {
      EXPECT_EQ(mainPanel().state(*host::controlFromName(item)).checked,
                std::string(item) == c.item)
          << item;
    }
  }
  // A folder called like a programmer file is not one.
  auto folder = makeFolder("fwdir", {});
  std::filesystem::create_directories(folder / "NPRG6270.hex");
  EXPECT_EQ(AutoGetCurPlatform(folder.string()), kQca8909);
  EXPECT_EQ(AutoGetCurPlatform(""), kQca8909);
  EXPECT_EQ(current(), "Qca_6270") << "probing never writes cfg.ini";
}

TEST_F(FilePanelTest, ChoosingAFolderRecreatesTheTableFromItsProgrammer) {
  loadPlatform(kQca6270, "/old/firmware", 2);
  auto folder = makeFolder("R07", {"NPRG9x07.mbn"});
  surface_->setImmediateAnswer(folder.string());
  EXPECT_EQ(TableCB(1, 2), 0);
  EXPECT_EQ(g_em, kQca9x07);
  EXPECT_EQ(pPlatforms->type, kQca9x07);
  EXPECT_EQ(FakePlatform::calls,
            (std::vector<std::string>{"create 3", "save", "autoLoad " + folder.string(), "load"}));
  auto all = events();
  auto chooser = eventsOf(all, "chooser");
  ASSERT_EQ(chooser.size(), 1u);
  EXPECT_EQ(chooser[0]["title"], "Firmware Path:");
  EXPECT_EQ(chooser[0]["dir"], "/old/firmware") << "the browser starts on the current folder";
  EXPECT_EQ(eventsOf(all, "folder").back()["text"], "R07");
  EXPECT_EQ(eventsOf(all, "table").back()["rows"][0]["path"], folder.string());
  EXPECT_EQ(current(), "Qca_6270") << "a folder choice is not written to cfg.ini";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "cfg.ini"));
}

TEST_F(FilePanelTest, CancelledOrEmptyFolderChoiceChangesNothing) {
  loadPlatform(kQca6270, "/old/firmware", 0);
  PlatformOps* table = pPlatforms;
  EXPECT_EQ(TableCB(1, 2), 0);  // no answer: cancelled
  surface_->setImmediateAnswer(std::string());
  EXPECT_EQ(TableCB(1, 2), 0);
  EXPECT_EQ(pPlatforms, table);
  EXPECT_TRUE(FakePlatform::calls.empty());
  EXPECT_EQ(gFileTable.path(1), "/old/firmware");
  auto all = events();
  EXPECT_EQ(eventsOf(all, "chooser").size(), 2u);
  EXPECT_EQ(eventsOf(all, "folder").size(), 1u) << "only the cancel refreshes the folder text";
}

TEST_F(FilePanelTest, FolderChoiceWithoutAPlatformTableFails) {
  loadPlatform(kQca6270, "/old", 0);
  FakePlatform::refuseTables = true;
  surface_->setImmediateAnswer(makeFolder("fw", {}).string());
  EXPECT_EQ(TableCB(1, 2), -1);
  EXPECT_EQ(pPlatforms, nullptr);
  // Without a table the other rows do nothing.
  gFileTable.appendRow("boot", "");
  EXPECT_EQ(TableCB(2, 2), 0);
  EXPECT_EQ(eventsOf(events(), "chooser").size(), 1u);
}

TEST_F(FilePanelTest, OnlyTheSecondColumnOfAnExistingRowActs) {
  loadPlatform(kQca9x07, "/fw", 3);
  EXPECT_EQ(TableCB(1, 1), 0);
  EXPECT_EQ(TableCB(3, 1), 0);
  EXPECT_EQ(TableCB(9, 2), 0);
  EXPECT_EQ(TableCB(0, 2), 0);
  EXPECT_TRUE(events().empty());
}

TEST_F(FilePanelTest, Qca8909RowsChooseTheirOwnKindOfFile) {
  loadPlatform(kQca8909, "/fw/8909", 7);
  for (int row = 2; row <= 8; ++row) TableCB(row, 2);
  auto chooser = eventsOf(events(), "chooser");
  ASSERT_EQ(chooser.size(), 5u) << "rows 7 and 8 choose nothing";
  const std::pair<const char*, const char*> expected[] = {
      {"select FireHose Programmer file", "*firehose*.mbn;*firehose*.elf"},
      {"select RawProgram File", "rawprogram*.xml"},
      {"select Patch File file", "patch*.xml"},
      {"select cdtRawprogramfile file", "rawprogram*.xml"},
      {"select cdtPatchfile  file", "patch*.xml"},
  };
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(chooser[i]["title"], expected[i].first);
    EXPECT_EQ(chooser[i]["pattern"], expected[i].second);
    EXPECT_EQ(chooser[i]["dir"], "/fw/8909");
  }
}

TEST_F(FilePanelTest, AChosenExistingFileIsWrittenAndSaved) {
  loadPlatform(kQca9x07, "/fw", 3);
  writeFile("images/boot.img", "boot");
  std::string boot = (dir_ / "images/boot.img").string();
  surface_->setImmediateAnswer(boot);
  TableCB(3, 2);
  EXPECT_EQ(gFileTable.path(3), boot);
  EXPECT_EQ(FakePlatform::calls, std::vector<std::string>{"save"});
  auto chooser = eventsOf(events(), "chooser");
  EXPECT_EQ(chooser[0]["title"], "select file");
  EXPECT_EQ(chooser[0]["pattern"], "*.*");

  FakePlatform::calls.clear();
  surface_->setImmediateAnswer((dir_ / "images/missing.img").string());
  TableCB(2, 2);
  TableCB(2, 2);  // cancelled
  EXPECT_EQ(gFileTable.path(2), "/fw/file1") << "a file that does not exist is not taken";
  EXPECT_TRUE(FakePlatform::calls.empty());
}

TEST_F(FilePanelTest, MenuChoiceStoresThePlatformAndOpensThePanel) {
  mainPanel().setDimmed(host::Control::Start, true);
  FakePlatform::folder = "/fw/9206";
  fnSelectPlatformCB(host::Control::Qca9206);
  EXPECT_EQ(em, kQca9206);
  EXPECT_EQ(current(), "Qca_9206");
  EXPECT_NE(readFile("cfg.ini").find("Qca_9206"), std::string::npos);
  EXPECT_EQ(FakePlatform::calls, (std::vector<std::string>{"create 4", "load"}));
  EXPECT_TRUE(mainPanel().filePanelShown());
  EXPECT_FALSE(mainPanel().state(host::Control::Start).dimmed) << "a good load enables Start";
  EXPECT_TRUE(mainPanel().state(host::Control::OnlyAp).dimmed);
  EXPECT_TRUE(mainPanel().state(host::Control::Qca9206).checked);
  EXPECT_EQ(eventsOf(events(), "folder").back()["text"], "9206");

  // Another choice replaces the table; a failed load dims Start.
  FakePlatform::loadResult = -3;
  mainPanel().showFilePanel(false);
  fnSelectPlatformCB(host::Control::Qca8909);
  EXPECT_EQ(pPlatforms->type, kQca8909);
  EXPECT_TRUE(mainPanel().state(host::Control::Start).dimmed);
  EXPECT_FALSE(mainPanel().state(host::Control::Qca9206).checked);
}

TEST_F(FilePanelTest, MenuChoiceWithoutATableLeavesThePanelClosed) {
  FakePlatform::refuseTables = true;
  fnSelectPlatformCB(host::Control::Qca6695);
  EXPECT_FALSE(mainPanel().filePanelShown());
  EXPECT_TRUE(mainPanel().state(host::Control::OnlyAp).dimmed);
  EXPECT_EQ(current(), "Qca_6695") << "the choice is stored all the same";
  EXPECT_EQ(eventsOf(events(), "folder").size(), 0u);
}

TEST_F(FilePanelTest, ALoadThatGivesUpStillOffersTheFolderRow) {
  FakePlatform::giveUpLoads = true;
  fnSelectPlatformCB(host::Control::Qca9206);
  EXPECT_TRUE(mainPanel().state(host::Control::Start).dimmed);
  ASSERT_TRUE(gFileTable.hasRow(1));
  EXPECT_EQ(gFileTable.label(1), "Firmware Path");
  EXPECT_EQ(gFileTable.path(1), "");
  EXPECT_EQ(eventsOf(events(), "table").back()["rows"].size(), 1u);
  // The row works: the chosen folder is saved and loaded.
  FakePlatform::giveUpLoads = false;
  surface_->queueAnswer("/fw/fresh");
  EXPECT_EQ(TableCB(1, 2), 0);
  EXPECT_EQ(FakePlatform::folder, "/fw/fresh");
  EXPECT_EQ(gFileTable.path(1), "/fw/fresh");
}

TEST_F(FilePanelTest, ClosingThePanelSavesThenReloads) {
  loadPlatform(kQca9x07, "/fw", 1);
  mainPanel().showFilePanel(true);
  FakePlatform::loadResult = -1;
  EXPECT_EQ(FilePanelQuit(), 0);
  EXPECT_FALSE(mainPanel().filePanelShown());
  EXPECT_EQ(FakePlatform::calls, (std::vector<std::string>{"save", "load"}));
  EXPECT_TRUE(mainPanel().state(host::Control::Start).dimmed);
  EXPECT_EQ(eventsOf(events(), "table").size(), 2u) << "the table after the save and the load";

  platform_dispose();
  mainPanel().showFilePanel(true);
  EXPECT_EQ(FilePanelQuit(), 0);
  EXPECT_TRUE(mainPanel().filePanelShown()) << "without a table the panel stays";
}

TEST_F(FilePanelTest, BrowserNotificationSelectsTheCurrentFolderOnlyWhenItStarts) {
  gFileTable.setPath(1, "/fw/current");
  std::string selection = "unchanged";
  EXPECT_EQ(BrowseNotify(kBrowserInitialised + 1, selection), 0);
  EXPECT_EQ(selection, "unchanged");
  EXPECT_EQ(BrowseNotify(kBrowserInitialised, selection), 1);
  EXPECT_EQ(selection, "/fw/current");
}

}  // namespace
}  // namespace stationtest
