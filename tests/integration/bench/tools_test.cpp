// zendral-bench's own commands, and the simulated Sahara and Firehose tools against a module in
// emergency download mode.

#include <signal.h>

#include <fstream>

#include "host/child_process.h"
#include "host/serial_port.h"
#include "sim/bench/firmware_maker.h"
#include "sim/bench/sha256.h"
#include "tests/integration/bench/bench_fixture.h"

namespace {

class Tools : public BenchFixture {
 protected:
  void SetUp() override {
    BenchFixture::SetUp();
    firmware_ = (folder_ / "fw").string();
    std::string output;
    ASSERT_EQ(runProgram({binPath("zendral-bench"), "make-firmware", "--platform", "Qca8909",
                          firmware_, "--size-scale", "0.005"},
                         output),
              0)
        << output;
    EXPECT_NE(output.find("prog_emmc_firehose_8909_ddr.mbn"), std::string::npos);
  }

  // Plugs an 8909 module and sends it to EDL over its AT port, as the station does.
  void plugIntoEdl(nlohmann::json faults = nlohmann::json::array()) {
    plug("Qca8909", faults);
    ASSERT_EQ(OpenComConfig(12, moduleState("1")["ports"][1]["tty"].get<std::string>().c_str(),
                            115200, 0, 8, 1, 512, 512),
              0);
    ASSERT_EQ(ComWrt(12, "at+bootedl\r", 11), 11);
    SetComTime(12, 1.0);
    char reply[256] = {};
    EXPECT_GT(ComRd(12, reply, 255), 0);
    // The module may still be printing its banner; an echo without OK means the switch.
    EXPECT_NE(std::string(reply).find("at+bootedl\r"), std::string::npos) << reply;
    EXPECT_EQ(std::string(reply).find("OK"), std::string::npos) << reply;
    CloseCom(12);
    ASSERT_TRUE(waitForMode("1", "edl"));
  }

  std::vector<std::string> sahara() {
    return {binPath("QSaharaServer.exe"),
            "-u",
            "14",
            "-s",
            "13:\"" + firmware_ + "/prog_emmc_firehose_8909_ddr.mbn\"",
            "\r"};
  }
  std::vector<std::string> firehose(bool reset) {
    std::vector<std::string> argv = {binPath("fh_loader.exe"),
                                     "--port=\\\\.\\COM14",
                                     "--sendxml=rawprogram_nand_p4K_b256K.xml,patch_p4K_b256K.xml",
                                     "--search_path=\"" + firmware_ + "\"",
                                     "--noprompt",
                                     "--showpercentagecomplete",
                                     "--zlpawarehost=1",
                                     "--memoryname=nand",
                                     "--setactivepartition=\"0\""};
    if (reset) argv.push_back("--reset\r");
    return argv;
  }

  std::string firmware_;
};

TEST_F(Tools, SaharaThenFirehoseWriteTheRawprogramImagesAndReset) {
  plugIntoEdl();
  std::string output;
  ASSERT_EQ(runProgram(sahara(), output), 0) << output;
  EXPECT_NE(output.find("File transferred successfully"), std::string::npos);
  EXPECT_EQ(moduleState("1")["programmer"]["name"], "prog_emmc_firehose_8909_ddr.mbn");
  output.clear();
  ASSERT_EQ(runProgram(firehose(true), output), 0) << output;
  EXPECT_NE(output.find("{<program> FILE:  'sbl1.mbn'}"), std::string::npos) << output;
  const size_t entry = output.find("{<program> FILE:");
  EXPECT_EQ(output.substr(entry + 19, 8), "sbl1.mbn") << "the name starts 19 characters in";
  EXPECT_NE(output.find("{percent files transferred 100.00%}"), std::string::npos);
  EXPECT_NE(output.find("{All Finished Successfully}"), std::string::npos);
  for (const auto& [label, file] :
       {std::pair{"sbl1", "sbl1.mbn"}, std::pair{"system", "system.img"},
        std::pair{"modem", "NON-HLOS.bin"}}) {
    std::string sha;
    uint64_t size = 0;
    ASSERT_TRUE(sim::sha256OfFile(firmware_ + "/" + file, sha, size));
    const nlohmann::json record = partition("1", label);
    EXPECT_EQ(record.value("sha256", ""), sha) << label;
    EXPECT_EQ(record.value("via", ""), "firehose");
  }
  EXPECT_TRUE(waitForMode("1", "normal")) << "--reset restarts the module";
}

TEST_F(Tools, SaharaFailsWithItsPhrase) {
  std::string output;
  plug("Qca8909", {"sahara-fail"});
  EXPECT_EQ(runProgram(sahara(), output), 1) << "no EDL port yet: " << output;
  EXPECT_NE(output.find("Image using Sahara protocol failed"), std::string::npos);
  request({{"cmd", "replug"}, {"id", "1"}});
  ASSERT_TRUE(waitForMode("1", "normal"));
}

TEST_F(Tools, SaharaFaultRefusesTheProgrammer) {
  plugIntoEdl({"sahara-fail"});
  std::string output;
  EXPECT_EQ(runProgram(sahara(), output), 1) << output;
  EXPECT_NE(output.find("Image using Sahara protocol failed"), std::string::npos);
  EXPECT_EQ(output.find("File transferred successfully"), std::string::npos);
}

TEST_F(Tools, FirehoseReportsErrors) {
  plugIntoEdl({"firehose-error"});
  std::string output;
  EXPECT_EQ(runProgram(firehose(false), output), 1) << "no programmer yet";
  EXPECT_NE(output.find("{ERROR: "), std::string::npos) << output;
  output.clear();
  ASSERT_EQ(runProgram(sahara(), output), 0) << output;
  output.clear();
  EXPECT_EQ(runProgram(firehose(false), output), 1);
  EXPECT_NE(output.find("{ERROR: Failed to write"), std::string::npos) << output;
  EXPECT_EQ(output.find("{All Finished Successfully}"), std::string::npos);
  EXPECT_EQ(moduleState("1")["mode"], "edl") << "no reset after a failure";
}

TEST_F(Tools, UnplugDuringFirehoseStopsIt) {
  plugIntoEdl({"unplug:cp:50"});
  std::string output;
  ASSERT_EQ(runProgram(sahara(), output), 0) << output;
  output.clear();
  EXPECT_EQ(runProgram(firehose(true), output), 1);
  EXPECT_NE(output.find("{ERROR: Target did not respond"), std::string::npos) << output;
  EXPECT_EQ(moduleState("1")["mode"], "unplugged");
}

TEST_F(Tools, HangingToolEndsWhenKilled) {
  plugIntoEdl({"tool-hang"});
  std::string error;
  auto tool = host::ChildProcess::start(sahara(), &error);
  ASSERT_TRUE(tool) << error;
  std::string output;
  char buffer[1024];
  while (output.find("Waiting") == std::string::npos) {
    const long n = tool->read(buffer, sizeof buffer, 10000);
    ASSERT_GT(n, 0) << output;
    output.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_TRUE(tool->running());
  tool->kill();
  EXPECT_EQ(tool->wait(), 128 + SIGKILL);
}

TEST_F(Tools, BenchCommandsPlugAndReport) {
  std::string output;
  ASSERT_EQ(runProgram({binPath("zendral-bench"), "--socket", socket_, "plug", "--platform",
                        "Qca9x07", "--fault", "at-silent", "--imei", "355000000000001"},
                       output),
            0)
      << output;
  EXPECT_EQ(output, "1\n");
  output.clear();
  EXPECT_EQ(runProgram({binPath("zendral-bench"), "--socket", socket_, "plug", "--platform",
                        "Qca9x07", "--fault", "melt"},
                       output),
            1);
  EXPECT_NE(output.find("unknown fault"), std::string::npos) << output;
  output.clear();
  ASSERT_EQ(runProgram({binPath("zendral-bench"), "--socket", socket_, "state"}, output), 0);
  const nlohmann::json state = nlohmann::json::parse(output, nullptr, false);
  ASSERT_FALSE(state.is_discarded()) << output;
  ASSERT_EQ(state["modules"].size(), 1u);
  EXPECT_EQ(state["modules"][0]["imei"], "355000000000001");
  EXPECT_EQ(state["modules"][0]["faults"][0], "at-silent");
  output.clear();
  EXPECT_EQ(runProgram({binPath("zendral-bench"), "--socket", socket_, "unplug", "9"}, output), 1);
}

TEST_F(Tools, ServeRefusesABusySocketAndCleansUpOnSignal) {
  std::string output;
  EXPECT_EQ(runProgram({binPath("zendral-bench"), "serve", "--socket", socket_}, output), 1);
  EXPECT_NE(output.find("already serves"), std::string::npos) << output;

  const std::string other = (folder_ / "other.sock").string();
  std::string error;
  auto second =
      host::ChildProcess::start({binPath("zendral-bench"), "serve", "--socket", other}, &error);
  ASSERT_TRUE(second) << error;
  ASSERT_TRUE(waitFor([&] {
    nlohmann::json reply;
    std::string why;
    return host::benchRequest(other, {{"cmd", "plug"}, {"platform", "Qca9x07"}}, reply, why);
  }));
  ::kill(second->pid(), SIGTERM);
  EXPECT_EQ(second->wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(other)) << "the socket is removed on a signal";
}

}  // namespace
