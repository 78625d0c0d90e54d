// The tool runner with stand-in tools (small shell scripts in a folder of their own): the
// command lines the tools receive, the phrases that decide a run, hostile paths that must stay
// data, and the bounds: a hanging tool, its helpers and a stopped run leave no process behind.

#include "chipsets/tool_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "chipsets/tool_command.h"
#include "host/clock.h"
#include "host/operator_surface.h"
#include "host/station_options.h"
#include "platform/slot_record.h"
#include "support/process_state.h"
#include "support/recording_surface.h"
#include "support/temporary_folder.h"

namespace {

using test_support::processEnded;

namespace fs = std::filesystem;

// Limits of 95 s and 120 s become about 2 s: a stand-in tool answers well within them, and a
// hanging one is ended soon.
const bool kTimeScaled = [] { return ::setenv("ZENDRAL_TIME_SCALE", "0.02", 1) == 0; }();

constexpr int kEmergencyCom = 14;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// The file a waiting stand-in tool looks for.
fs::path goFile() {
  return fs::temp_directory_path() / ("zendral-tools-go-" + std::to_string(::getpid()));
}

// Records like the recording surface, and leaves a "go" file for a stand-in tool that waits
// until the station has shown its progress.
class SignallingSurface : public test_support::RecordingSurface {
 public:
  explicit SignallingSurface(fs::path go) : go_(std::move(go)) {}
  void setDutProgress(int dut, double percent, const std::string& caption) override {
    RecordingSurface::setDutProgress(dut, percent, caption);
    std::ofstream(go_) << "go";
  }

 private:
  fs::path go_;
};

class ToolRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kTimeScaled);
    folder_ = std::make_unique<test_support::WorkingFolder>("zendral-tools");
    tools_ = folder_->path() / "tools";
    fs::create_directories(tools_);
    toolFolder() = tools_.string();
    fs::remove(goFile());
    host::installSurface(&surface_);
    host::clearStop();
    gBackupRestoreQcn = false;
    bSdx55 = 0;
    resetSlotRecords();
    gThreadData[0].ql9008port = kEmergencyCom;
    request_.slot = 1;
  }
  void TearDown() override {
    host::clearStop();
    gBackupRestoreQcn = false;
    resetSlotRecords();
    toolFolder().clear();
    host::installSurface(nullptr);
    folder_.reset();
    fs::remove(goFile());
  }

  // A stand-in tool: it writes its arguments (one a line) and its pid beside itself, then
  // runs `body`.
  void writeTool(const std::string& name, const std::string& body) {
    const fs::path path = tools_ / name;
    std::ofstream(path) << "#!/bin/sh\nhere=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > \"$here/"
                        << name << ".args\"\necho $$ > \"$here/" << name << ".pid\"\n"
                        << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  std::vector<std::string> argumentsOf(const std::string& name) {
    return lines(test_support::readFile(tools_ / (name + ".args")));
  }
  pid_t pidOf(const std::string& name) {
    const std::string text = test_support::readFile(tools_ / (name + ".pid"));
    return text.empty() ? 0 : static_cast<pid_t>(std::stol(text));
  }
  std::string log() { return test_support::readFile(folder_->path() / "Dut1.log"); }

  // A firmware file in `folder` (made on the way).
  std::string firmwareFile(const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    std::ofstream(folder / name) << "image";
    return (folder / name).string();
  }

  std::unique_ptr<test_support::WorkingFolder> folder_;
  fs::path tools_;
  SignallingSurface surface_{goFile()};
  DownloadRequest request_{};
};

constexpr char kSaharaSuccess[] =
    "echo 'INFO: function: main:286 Opening port'\n"
    "echo 'INFO: function: main:320 File transferred successfully'";
// The entries come first; the end only once the station showed the progress, so that they are
// read before the phrase that ends the run.
const std::string kFirehoseSuccess =
    "echo \"{<program> FILE:  'system.img'}\"\n"
    "echo '{percent files transferred  45.50%}'\n"
    "while [ ! -e '" +
    goFile().string() +
    "' ]; do sleep 0.01; done\n"
    "echo '{All Finished Successfully}'";

// ---- Sahara ----

TEST_F(ToolRunnerTest, SaharaRunGetsItsArgumentsAndLogsItsLineAndOutput) {
  writeTool("QSaharaServer.exe", kSaharaSuccess);
  const std::string programmer = firmwareFile(folder_->path() / "fw", "prog_firehose_9205.mbn");
  EXPECT_EQ(SaharaFirehoseProgramer(request_, programmer), 0);
  EXPECT_EQ(argumentsOf("QSaharaServer.exe"),
            (std::vector<std::string>{"-u", "14", "-s", "13:" + programmer}));
  const std::string text = log();
  EXPECT_NE(text.find("QSaharaServer.exe -u 14 -s 13:\"" + programmer + "\" "), std::string::npos);
  EXPECT_NE(text.find("File transferred successfully"), std::string::npos);
  EXPECT_TRUE(surface_.messages().empty()) << "a good upload shows nothing";
}

TEST_F(ToolRunnerTest, RefusedSaharaUploadFailsWithoutAMessageOfItsOwn) {
  writeTool("QSaharaServer.exe",
            "echo 'ERROR: function: main:303 Uploading  Image using Sahara protocol failed'");
  const std::string programmer = firmwareFile(folder_->path() / "fw", "prog_firehose_9205.mbn");
  EXPECT_EQ(SaharaFirehoseProgramer(request_, programmer), -1);
  EXPECT_TRUE(surface_.messages().empty());
  EXPECT_NE(log().find("Image using Sahara protocol failed"), std::string::npos);
}

TEST_F(ToolRunnerTest, MissingFilesAreNamedAndNoToolRuns) {
  writeTool("QSaharaServer.exe", kSaharaSuccess);
  writeTool("fh_loader.exe", kFirehoseSuccess);
  const fs::path fw = folder_->path() / "fw";
  firmwareFile(fw, "Prog_Firehose.mbn");
  // The name must match exactly, case included.
  EXPECT_EQ(SaharaFirehoseProgramer(request_, (fw / "prog_firehose.mbn").string()), -1);
  EXPECT_TRUE(surface_.showed((fw / "prog_firehose.mbn").string() + " not exist!."));
  EXPECT_EQ(fhDownloadXmlPackage(request_, (fw / "rawprogram0.xml").string(),
                                 (fw / "patch0.xml").string()),
            -1);
  EXPECT_TRUE(surface_.showed((fw / "rawprogram0.xml").string() + " not exist!."));
  EXPECT_EQ(SaharaFirehoseProgramer(request_, ""), -1);
  EXPECT_FALSE(fs::exists(tools_ / "QSaharaServer.exe.args"));
  EXPECT_FALSE(fs::exists(tools_ / "fh_loader.exe.args"));
}

TEST_F(ToolRunnerTest, AToolThatCannotStartIsNamed) {
  const std::string programmer = firmwareFile(folder_->path() / "fw", "prog_firehose_9205.mbn");
  EXPECT_EQ(SaharaFirehoseProgramer(request_, programmer), -1);
  ASSERT_EQ(surface_.messages().size(), 1u);
  EXPECT_EQ(surface_.messages()[0].rfind("Cannot start QSaharaServer.exe: ", 0), 0u)
      << surface_.messages()[0];
}

// ---- Firehose ----

TEST_F(ToolRunnerTest, FirehoseRunSearchesThePatchFolderAndReportsProgress) {
  writeTool("fh_loader.exe", kFirehoseSuccess);
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  const std::string patch = firmwareFile(folder_->path() / "other", "patch_nand.xml");
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, patch), 0);
  EXPECT_EQ(argumentsOf("fh_loader.exe"),
            (std::vector<std::string>{"--port=\\\\.\\COM14",
                                      "--sendxml=rawprogram_nand.xml,patch_nand.xml",
                                      "--search_path=" + (folder_->path() / "other").string(),
                                      "--noprompt", "--showpercentagecomplete", "--zlpawarehost=1",
                                      "--memoryname=nand", "--setactivepartition=0"}));
  EXPECT_NE(log().find("fh_loader.exe --port=\\\\.\\COM14 --sendxml=rawprogram_nand.xml,"
                       "patch_nand.xml --search_path=\"" +
                       (folder_->path() / "other").string() +
                       "\"  --noprompt --showpercentagecomplete --zlpawarehost=1 "
                       "--memoryname=nand  --setactivepartition=\"0\" \n"),
            std::string::npos);
  EXPECT_TRUE(surface_.showed("system.img"));
  EXPECT_EQ(surface_.messages().back(), "Update success!");
  ASSERT_FALSE(surface_.progress().empty());
  EXPECT_DOUBLE_EQ(surface_.progress().back(), 100.0);
}

TEST_F(ToolRunnerTest, WithBackupOnTheFirehoseRunEndsWithAReset) {
  gBackupRestoreQcn = true;
  writeTool("fh_loader.exe", kFirehoseSuccess);
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  const std::string patch = firmwareFile(folder_->path() / "fw", "patch_nand.xml");
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, patch), 0);
  EXPECT_EQ(argumentsOf("fh_loader.exe").back(), "--reset");
  EXPECT_NE(log().find("--setactivepartition=\"0\"  --reset\n"), std::string::npos);
  EXPECT_EQ(surface_.messages().back(), "DownloadXmlPackage success!");
}

TEST_F(ToolRunnerTest, FirehoseErrorIsTheFinalMessage) {
  writeTool("fh_loader.exe", "echo \"{ERROR: Failed to write 'system' at sector 0 }\"; exit 1");
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, folder_->path() / "fw" / "patch.xml"), -1);
  EXPECT_EQ(surface_.messages().back(), "ERROR: Failed to write 'system' at sector 0");
}

TEST_F(ToolRunnerTest, AToolThatEndsWithoutAVerdictFailsAtOnce) {
  writeTool("fh_loader.exe", "echo 'Segmentation fault'; exit 139");
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, raw), -1);
  EXPECT_EQ(surface_.messages().back(),
            "fh_loader.exe ended without a result, Please repower 1 DUT.");
}

// ---- Hostile paths ----

TEST_F(ToolRunnerTest, HostileFolderAndFileNamesAreOnlyData) {
  writeTool("QSaharaServer.exe", kSaharaSuccess);
  writeTool("fh_loader.exe", kFirehoseSuccess);
  const fs::path pwned = folder_->path() / "pwned";
  for (const std::string hostile : {"\"; touch pwned; \"", "$(touch pwned)", "`touch pwned`",
                                    "a & touch pwned | cat", "-rf 'quoted' x", "--reset"}) {
    const fs::path fw = folder_->path() / hostile / "fw";
    const std::string programmer = firmwareFile(fw, "-prog firehose;$(x).mbn");
    const std::string raw = firmwareFile(fw, "rawprogram `x`.xml");
    const std::string patch = firmwareFile(fw, "patch $(x).xml");
    EXPECT_EQ(SaharaFirehoseProgramer(request_, programmer), 0) << hostile;
    EXPECT_EQ(argumentsOf("QSaharaServer.exe").back(), "13:" + programmer);
    EXPECT_EQ(fhDownloadXmlPackage(request_, raw, patch), 0) << hostile;
    const std::vector<std::string> args = argumentsOf("fh_loader.exe");
    ASSERT_GE(args.size(), 3u);
    EXPECT_EQ(args[1], "--sendxml=rawprogram `x`.xml,patch $(x).xml");
    EXPECT_EQ(args[2], "--search_path=" + fw.string());
    EXPECT_EQ(args.back(), "--setactivepartition=0") << "a folder name adds no option";
  }
  EXPECT_FALSE(fs::exists(pwned));
  EXPECT_FALSE(fs::exists(tools_ / "pwned"));
}

// ---- Bounds ----

TEST_F(ToolRunnerTest, AHangingToolAndItsHelperAreEndedAtTheLimit) {
  writeTool("QSaharaServer.exe",
            "sleep 1000 &\necho $! > \"$here/helper.pid\"\necho 'INFO: function: waiting'\n"
            "sleep 1000");
  const std::string programmer = firmwareFile(folder_->path() / "fw", "prog_firehose_9205.mbn");
  EXPECT_EQ(SaharaFirehoseProgramer(request_, programmer), -1);
  EXPECT_EQ(surface_.messages().back(),
            "download prog_firehose_9205.mbn timeout!,Please repower 1 DUT.");
  const std::string helperText = test_support::readFile(tools_ / "helper.pid");
  ASSERT_FALSE(helperText.empty());
  const pid_t helper = static_cast<pid_t>(std::stol(helperText));
  for (int i = 0; i < 500 && !processEnded(helper); ++i) host::sleepMs(10);
  EXPECT_TRUE(processEnded(pidOf("QSaharaServer.exe")));
  EXPECT_TRUE(processEnded(helper)) << "the tool's helper outlived the run";
}

TEST_F(ToolRunnerTest, AFirehoseToolThatHangsTimesOut) {
  writeTool("fh_loader.exe", "echo '{percent files transferred 10%}'\nexec sleep 1000");
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, raw), -1);
  EXPECT_EQ(surface_.messages().back(),
            "download rawprogram_nand.xml timeout!,Please repower 1 DUT.");
  EXPECT_TRUE(processEnded(pidOf("fh_loader.exe")));
}

TEST_F(ToolRunnerTest, StopEndsARunningToolAtOnce) {
  writeTool("fh_loader.exe", "echo '{percent files transferred 10%}'\nexec sleep 1000");
  const std::string raw = firmwareFile(folder_->path() / "fw", "rawprogram_nand.xml");
  std::thread stopper([this] {
    // Stop once the tool runs and has reported.
    while (surface_.progress().empty()) host::sleepMs(5);
    host::requestStop();
  });
  EXPECT_EQ(fhDownloadXmlPackage(request_, raw, raw), -1);
  stopper.join();
  EXPECT_TRUE(processEnded(pidOf("fh_loader.exe")));
  for (const std::string& message : surface_.messages()) {
    EXPECT_EQ(message.find("timeout"), std::string::npos) << "a stop is no time-out";
  }
}

}  // namespace
