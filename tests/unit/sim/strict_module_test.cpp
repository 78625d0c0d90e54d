// The virtual module is as strict as a real one where a procedure depends on it: one owner per
// port, connections that die with a reset or an unplug, the SPC and FTM mode before a restore,
// Sahara and the programmer checked against the way the module entered download mode, and
// partitions written as they arrive.

#include <fcntl.h>
#include <termios.h>

#include <filesystem>
#include <fstream>

#include "bench_model_fixture.h"
#include "sim/bench/nv_store.h"

namespace sim {
namespace {

class StrictModule : public BenchModel {
 protected:
  // A connection name of a library instance in this (living) process.
  static std::string me(const std::string& rest) { return std::to_string(::getpid()) + "-" + rest; }
  json connect(int com, const std::string& name, bool shared = false) {
    return bench.handle({{"cmd", "connect"}, {"com", com}, {"conn", name}, {"shared", shared}});
  }
  json on(const std::string& name, const std::string& cmd, json fields = json::object()) {
    fields["cmd"] = cmd;
    fields["conn"] = name;
    return bench.handle(fields);
  }
  // Switches module 1 (COM11) to download mode and waits for its 9009 port (COM13).
  void toDownload(const std::string& id) {
    ASSERT_TRUE(ask("switch-download", 11)["ok"]);
    ASSERT_TRUE(runUntil([&] { return mode(id) == "download"; }));
  }
  json state(const std::string& id) {
    const json modules = bench.handle({{"cmd", "state"}})["modules"];
    for (const json& m : modules) {
      if (m["id"] == id) return m;
    }
    return {};
  }
  json partitionRecord(const std::string& id, const std::string& name) {
    const json partitions = state(id)["partitions"];
    for (const json& p : partitions) {
      if (p["name"] == name) return p;
    }
    return {};
  }
};

// ---- One owner per port; connections die with their module ----

TEST_F(StrictModule, DirectConnectionsOwnThePortAndQpstConnectionsShareIt) {
  plug("Qca9x07");
  ASSERT_TRUE(connect(11, me("a:1"))["ok"]);
  EXPECT_FALSE(connect(11, me("a:2"))["ok"]) << "a second direct connection is refused";
  EXPECT_FALSE(connect(11, me("a:3"), true)["ok"]) << "QPST cannot share a directly held port";
  EXPECT_FALSE(connect(12, me("a:4"))["ok"]) << "the AT port is no diagnostic port";
  bench.handle({{"cmd", "disconnect"}, {"conn", me("a:1")}});
  ASSERT_TRUE(connect(11, me("a:5"), true)["ok"]);
  EXPECT_TRUE(connect(11, me("a:6"), true)["ok"]) << "the phone server shares its port";
  EXPECT_FALSE(connect(11, me("a:7"))["ok"]);
  bench.handle({{"cmd", "disconnect-instance"}, {"instance", me("a")}});
  EXPECT_TRUE(connect(11, me("b:1"))["ok"]) << "an unloaded library lets go of its ports";
  EXPECT_FALSE(on(me("a:5"), "phone")["ok"]);
}

TEST_F(StrictModule, AResetTakesThePortAwayUntilTheLibraryAsksForThePhone) {
  const std::string id = plug("Qca9x07");
  ASSERT_TRUE(connect(11, me("a:1"))["ok"]);
  ASSERT_TRUE(on(me("a:1"), "control", {{"mode", 2}})["ok"]);
  // From the reset on the module answers nothing, though its old port is still listed.
  ASSERT_FALSE(bench.moduleById(id)->ports().empty());
  EXPECT_FALSE(on(me("a:1"), "nv-read", {{"item", 453}})["ok"]) << "the module resets";
  EXPECT_FALSE(on(me("a:1"), "phone")["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "normal"; }));
  EXPECT_FALSE(on(me("a:1"), "nv-read", {{"item", 453}})["ok"])
      << "back, but not before the library asked for the phone";
  EXPECT_TRUE(on(me("a:1"), "phone")["connected"]);
  EXPECT_TRUE(on(me("a:1"), "nv-read", {{"item", 453}})["ok"]);
  EXPECT_FALSE(connect(11, me("a:2"))["ok"]) << "the connection still owns the port";
}

TEST_F(StrictModule, AnUnpluggedModulesConnectionNeverAnswersAgainButHoldsNothing) {
  const std::string id = plug("Qca9x07");
  ASSERT_TRUE(connect(11, me("a:1"))["ok"]);
  bench.handle({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(runUntil([&] { return mode(id) == "normal"; }));
  EXPECT_FALSE(on(me("a:1"), "phone")["ok"]);
  EXPECT_FALSE(on(me("a:1"), "nv-read", {{"item", 453}})["ok"]);
  EXPECT_TRUE(connect(11, me("a:2"))["ok"]);
  EXPECT_TRUE(on(me("a:9"), "disconnect")["ok"]) << "disconnecting always works";
}

// ---- A restore needs what the module needs ----

TEST_F(StrictModule, WritingAWholeBackupNeedsTheSpcAndInDirectModeFtm) {
  const std::string id = plug("Qca9x07");
  const std::string file = firmwareFile("Qca9x07", "saved.xqcn");
  ASSERT_TRUE(ask("qcn-backup", 11, {{"path", file}, {"form", "xqcn"}})["ok"]);

  ASSERT_TRUE(connect(11, me("a:1"))["ok"]);
  EXPECT_TRUE(on(me("a:1"), "nv-write", {{"item", 453}, {"data", {1}}})["ok"])
      << "single items need no SPC";
  EXPECT_FALSE(on(me("a:1"), "qcn-restore", {{"path", file}})["ok"]) << "no SPC yet";
  EXPECT_FALSE(on(me("a:1"), "spc", {{"spc", "000000"}})["accepted"]);
  EXPECT_FALSE(on(me("a:1"), "qcn-restore", {{"path", file}})["ok"]) << "a wrong SPC is refused";
  EXPECT_TRUE(on(me("a:1"), "spc", {{"spc", "271828"}})["accepted"]);
  const json notFtm = on(me("a:1"), "qcn-restore", {{"path", file}});
  EXPECT_FALSE(notFtm["ok"]);
  EXPECT_EQ(notFtm["error"], "the phone is not in FTM mode") << "NV_FTM_MODE is set, not booted";
  ASSERT_TRUE(on(me("a:1"), "control", {{"mode", 2}})["ok"]);
  ASSERT_TRUE(
      runUntil([&] { return mode(id) == "normal" && !ask("phone", 11)["connected"].is_null(); }));
  ASSERT_TRUE(runUntil([&] { return on(me("a:1"), "phone").value("connected", false); }));
  EXPECT_FALSE(on(me("a:1"), "qcn-restore", {{"path", file}})["ok"]) << "the reset forgot the SPC";
  EXPECT_TRUE(on(me("a:1"), "spc", {{"spc", "271828"}})["accepted"]);
  EXPECT_TRUE(on(me("a:1"), "qcn-restore", {{"path", file}})["ok"]);
  bench.handle({{"cmd", "disconnect"}, {"conn", me("a:1")}});

  ASSERT_TRUE(connect(11, me("a:2"), true)["ok"]);
  EXPECT_FALSE(on(me("a:2"), "qcn-restore", {{"path", file}, {"spc", "000000"}})["ok"]);
  EXPECT_TRUE(on(me("a:2"), "qcn-restore", {{"path", file}, {"spc", "271828"}})["ok"])
      << "through the phone server the SPC comes with the call";
}

// ---- Sahara and the programmer ----

TEST_F(StrictModule, TheProgrammerMustSuitHowTheModuleEnteredDownloadMode) {
  const std::string id = plug("Qca9x07");
  toDownload(id);
  const std::string normal = firmwareFile("Qca9x07", "NPRG9x07.mbn");
  const std::string emergency = firmwareFile("Qca9x07", "ENPRG9x07.mbn");
  ASSERT_TRUE(ask("sahara-connect", 13)["ok"]);
  EXPECT_FALSE(ask("sahara-programmer", 13, {{"path", emergency}})["ok"])
      << "after a switch the module wants the normal programmer";
  EXPECT_FALSE(
      ask("sahara-programmer", 13, {{"path", firmwareFile("Qca9x15", "NPRG9x15.hex")}})["ok"])
      << "another platform's programmer";
  // A damaged copy of the right programmer.
  const std::string damaged = normal + ".damaged";
  std::filesystem::copy_file(normal, damaged);
  {
    std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(-1, std::ios::end);
    file.put('\x5a');
  }
  EXPECT_FALSE(ask("sahara-programmer", 13, {{"path", damaged}})["ok"]);
  EXPECT_TRUE(ask("sahara-programmer", 13, {{"path", normal}})["ok"]);
  EXPECT_FALSE(ask("sahara-connect", 13)["ok"]) << "the programmer runs: no more Sahara";
  EXPECT_FALSE(ask("sahara-programmer", 13, {{"path", normal}})["ok"]);
}

TEST_F(StrictModule, SaharaFaultsSilenceSlowTheHelloOrReportVersionZero) {
  plug("Qca9x07", {"sahara-silent"});
  plug("Qca9x07", {"sahara-version0"});
  plug("Qca9x07", {"sahara-slow:60000"});
  for (int com : {11, 21, 31}) ASSERT_TRUE(ask("switch-download", com)["ok"]);
  ASSERT_TRUE(runUntil([&] {
    return mode("1") == "download" && mode("2") == "download" && mode("3") == "download";
  }));
  EXPECT_FALSE(ask("sahara-connect", 13)["ok"]);
  EXPECT_EQ(ask("sahara-connect", 23)["version"], 0);
  EXPECT_FALSE(ask("sahara-connect", 33)["ok"]) << "a minute late, whatever the time scale";
}

// ---- Partitions are written as they arrive ----

TEST_F(StrictModule, AnUnplugLeavesAHalfWrittenPartitionAndABrokenBootChainComesBackInEdl) {
  const std::string id = plug("Qca9x07", {"unplug:cp:50"});
  toDownload(id);
  ASSERT_TRUE(ask("sahara-connect", 13)["ok"]);
  ASSERT_TRUE(
      ask("sahara-programmer", 13, {{"path", firmwareFile("Qca9x07", "NPRG9x07.mbn")}})["ok"]);
  ASSERT_TRUE(ask("stream-begin", 13, {{"table", firmwareFile("Qca9x07", "partition.mbn")}})["ok"]);
  EXPECT_FALSE(ask("partition-begin", 13, {{"name", "0:NOTHERE"}})["ok"])
      << "the partition table has no such partition";
  ASSERT_TRUE(ask("partition-begin", 13, {{"name", "0:SBL"}})["ok"]);
  EXPECT_FALSE(ask("transfer", 13,
                   {{"stage", "cp"},
                    {"done", 60},
                    {"total", 100},
                    {"partition", "0:SBL"},
                    {"written", 60},
                    {"sha256", "half"}})["ok"]);
  const json sbl = partitionRecord(id, "sbl");
  EXPECT_EQ(sbl["size"], 60);
  EXPECT_EQ(sbl["complete"], false);
  EXPECT_TRUE(partitionRecord(id, "partition")["complete"]);

  bench.handle({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(runUntil([&] { return mode(id) == "edl"; })) << "the boot chain is broken";
  EXPECT_EQ(portNames(), std::vector<std::string>{"Qualcomm HS-USB QDLoader 9008 (COM14)"});
  ASSERT_TRUE(ask("sahara-connect", 14)["ok"]);
  EXPECT_FALSE(
      ask("sahara-programmer", 14, {{"path", firmwareFile("Qca9x07", "NPRG9x07.mbn")}})["ok"]);
  ASSERT_TRUE(
      ask("sahara-programmer", 14, {{"path", firmwareFile("Qca9x07", "ENPRG9x07.mbn")}})["ok"]);
  ASSERT_TRUE(ask("stream-begin", 14)["ok"]);
  ASSERT_TRUE(ask("partition-begin", 14, {{"name", "0:SBL"}})["ok"]);
  ASSERT_TRUE(ask("partition", 14, {{"name", "0:SBL"}, {"size", 100}, {"sha256", "whole"}})["ok"]);
  ASSERT_TRUE(ask("stream-end", 14)["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "fastboot"; })) << "a whole chain boots again";
  EXPECT_TRUE(state(id)["bootChainComplete"]);
}

// ---- The AT port ----

// With the module's own delays the radio is off for more than a second after boot, so the
// answer is known; the reply comes in pieces that add up to the whole answer.
TEST(StrictAtPort, RadioIsOffRightAfterBootAndTheReplyArrivesWhole) {
  Bench bench(nullptr, TimingMode::kReal);
  ASSERT_TRUE(bench.handle({{"cmd", "plug"}, {"platform", "Qca9x07"}})["ok"]);
  VirtualModule& module = *bench.moduleById("1");
  const std::string tty = bench.handle({{"cmd", "ports"}})["ports"][1]["tty"];
  const int fd = openRawTty(tty);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "AT+CFUN?\r", 9), 9);
  std::string reply;
  for (int i = 0; i < 5000 && reply.find("OK\r\n") == std::string::npos; ++i) {
    for (const auto& port : module.ports()) {
      if (port->role == PortRole::kAt) module.onPortInput(*port);
    }
    bench.run();
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) reply.append(buffer, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::close(fd);
  EXPECT_EQ(reply.substr(0, 9), "AT+CFUN?\r") << "echo is on";
  EXPECT_NE(reply.find("\r\n+CFUN: 0\r\n\r\nOK\r\n"), std::string::npos) << reply;
}

// ---- Timing ----

TEST(ModuleClockTest, RealTimingKeepsTheModulesOwnDelaysWhateverTheTimeScale) {
  ASSERT_TRUE(kSmallTimeScale);
  ModuleClock test(TimingMode::kTest), real(TimingMode::kReal);
  EXPECT_EQ(test.after(1000, 5.0), 1005u) << "scaled by 0.001";
  EXPECT_EQ(test.after(1000, 5.0, 400), 1400u) << "never below the floor";
  for (int i = 0; i < 20; ++i) {
    const uint64_t end = real.after(1000, 5.0);
    EXPECT_GE(end, 1000u + 4000u);
    EXPECT_LE(end, 1000u + 6000u);
    const uint64_t vanish = real.vanishAfterSwitch(1000);
    EXPECT_GE(vanish, 1000u + 300u) << "the old port stays listed a moment";
  }
}

}  // namespace
}  // namespace sim
