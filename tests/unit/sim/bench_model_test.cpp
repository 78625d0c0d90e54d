// The bench without its socket: modules, their modes and ports, and the requests of the
// library and the tools, at a small time scale.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "bench_model_fixture.h"

namespace sim {
namespace {

TEST_F(BenchModel, PluggedModuleShowsDiagnosticAndAtPortsOnPtys) {
  ASSERT_TRUE(kSmallTimeScale);
  const std::string id = plug("Qca9x07");
  EXPECT_EQ(id, "1");
  const json ports = bench.handle({{"cmd", "ports"}})["ports"];
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0]["name"], "Qualcomm HS-USB Diagnostics 9025 (COM11)");
  EXPECT_EQ(ports[1]["name"], "Qualcomm HS-USB AT Port 9025 (COM12)");
  for (const auto& port : ports)
    EXPECT_EQ(::access(port["tty"].get<std::string>().c_str(), F_OK), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["event"], "arrival");
  EXPECT_EQ(plug("Qca_9x15"), "2");
  EXPECT_EQ(portNames().size(), 4u);
  EXPECT_EQ(portNames()[2], "Qualcomm HS-USB Diagnostics 9025 (COM21)");

  bench.handle({{"cmd", "unplug"}, {"id", "1"}});
  EXPECT_EQ(events.back()["event"], "removal");
  EXPECT_EQ(portNames().size(), 2u);
  EXPECT_EQ(mode("1"), "unplugged");
}

TEST_F(BenchModel, RefusesBadPlugRequests) {
  for (const json& request :
       {json{{"cmd", "plug"}, {"platform", "Qca1234"}},
        json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"imei", "12345"}},
        json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"imei", 860000000000017}},
        json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"meid", "A1"}},
        json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"faults", {"melt"}}},
        json{{"cmd", "unplug"}, {"id", "7"}}, json{{"cmd", "nonsense"}}, json{{"cmd", 5}},
        json::array()}) {
    const json reply = bench.handle(request);
    EXPECT_FALSE(reply["ok"]) << request.dump();
    EXPECT_FALSE(reply.value("error", "").empty()) << request.dump();
  }
  EXPECT_TRUE(bench.modules().empty());
}

// A module sits on a hub port: every port and device it shows carries that port's path, two
// modules never share a port, and a replug may move a module to another one.
TEST_F(BenchModel, ModulesSitOnHubPortsThatTheirPortsCarry) {
  ASSERT_TRUE(kSmallTimeScale);
  EXPECT_EQ(bench.handle({{"cmd", "plug"}, {"platform", "Qca9x07"}, {"port", 3}})["port"], "1-3");
  EXPECT_EQ(bench.handle({{"cmd", "plug"}, {"platform", "Qca9x07"}})["port"], "1-1");
  for (const json& refused : {json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"port", 3}},
                              json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"port", 0}},
                              json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"port", "2"}},
                              json{{"cmd", "replug"}, {"id", "1"}, {"port", 1}}}) {
    EXPECT_FALSE(bench.handle(refused)["ok"]) << refused.dump();
  }
  EXPECT_EQ(bench.modules().size(), 2u);
  const json listed = bench.handle({{"cmd", "ports"}});
  for (const json& port : listed["ports"]) {
    EXPECT_EQ(port["port"], port["com"].get<int>() < 20 ? "1-3" : "1-1") << port.dump();
  }

  // Unplugged, a module frees its port; a replug into another port moves it there.
  bench.handle({{"cmd", "unplug"}, {"id", "2"}});
  const json moved = bench.handle({{"cmd", "replug"}, {"id", "1"}, {"port", 1}});
  ASSERT_TRUE(moved["ok"]) << moved.dump();
  EXPECT_EQ(moved["port"], "1-1");
  ASSERT_TRUE(runUntil([&] { return portNames().size() == 2; }));
  EXPECT_EQ(bench.handle({{"cmd", "ports"}})["ports"][0]["port"], "1-1");
  EXPECT_EQ(bench.handle({{"cmd", "state"}})["modules"][0]["port"], "1-1");
}

TEST_F(BenchModel, Qca9x07RoadFromSwitchThroughStreamingToFastbootAndBack) {
  const std::string id = plug("Qca9x07");
  EXPECT_TRUE(ask("phone", 11)["connected"]);
  EXPECT_FALSE(ask("phone", 12)["connected"]) << "the AT port is no diagnostic port";
  ASSERT_TRUE(ask("switch-download", 11)["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "download"; }));
  EXPECT_EQ(portNames(), std::vector<std::string>{"Qualcomm HS-USB QDLoader 9009 (COM13)"});
  EXPECT_FALSE(ask("stream-begin", 13)["ok"]) << "no programmer runs yet";
  EXPECT_FALSE(ask("partition", 13, {{"name", "0:SBL"}})["ok"]);
  const json hello = ask("sahara-connect", 13);
  ASSERT_TRUE(hello["ok"]);
  EXPECT_EQ(hello["version"], 2);
  ASSERT_TRUE(
      ask("sahara-programmer", 13, {{"path", firmwareFile("Qca9x07", "NPRG9x07.mbn")}})["ok"]);
  ASSERT_TRUE(ask("stream-begin", 13, {{"override", true}})["ok"]);
  ASSERT_TRUE(ask("partition", 13, {{"name", "0:SBL"}, {"size", 10}, {"sha256", "cd"}})["ok"]);
  ASSERT_TRUE(ask("stream-end", 13)["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "fastboot"; }));
  const json ports = bench.handle({{"cmd", "ports"}});
  ASSERT_EQ(ports["usb"].size(), 1u);
  const std::string path = ports["usb"][0];
  EXPECT_EQ(path, "\\\\?\\usb#vid_18d1&pid_d00d#bench-1#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}");
  EXPECT_TRUE(bench.handle({{"cmd", "fastboot-port"}, {"path", path}})["ok"]);
  EXPECT_FALSE(bench.handle({{"cmd", "fastboot-port"}, {"path", path + "x"}})["ok"]);

  const json state = bench.handle({{"cmd", "state"}})["modules"][0];
  EXPECT_EQ(state["partitions"][0]["name"], "sbl");
  EXPECT_EQ(state["partitions"][0]["sha256"], "cd");
  EXPECT_EQ(state["programmer"]["name"], "NPRG9x07.mbn");
  EXPECT_EQ(state["nvSha256"], nvDigest(makeFactoryItems())) << "a new partition table empties EFS";
}

TEST_F(BenchModel, DownloadPortIdentityFollowsThePlatform) {
  const std::string id = plug("Qca9x15");
  ASSERT_TRUE(ask("switch-download", 11)["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "download"; }));
  EXPECT_EQ(portNames(), std::vector<std::string>{"Qualcomm HS-USB QDLoader 9008 (COM11)"});
  EXPECT_FALSE(ask("sahara-connect", 11)["ok"]) << "its programmer is not sent over Sahara";
  EXPECT_TRUE(
      ask("stream-begin", 11, {{"programmer", firmwareFile("Qca9x15", "NPRG9x15.hex")}})["ok"]);

  const std::string edl = plug("Qca8909");
  ASSERT_TRUE(ask("switch-edl", 21)["ok"]);
  ASSERT_TRUE(runUntil([&] { return mode(edl) == "edl"; }));
  EXPECT_EQ(ask("port", 24)["role"], "edl");
}

TEST_F(BenchModel, SwitchFaults) {
  const std::string refused = plug("Qca9x07", {"switch-refused"});
  EXPECT_FALSE(ask("switch-download", 11)["ok"]);
  EXPECT_FALSE(ask("switch-edl", 11)["ok"]);
  EXPECT_EQ(mode(refused), "normal");

  const std::string lost = plug("Qca9x07", {"no-download-port"});
  ASSERT_TRUE(ask("switch-download", 21)["ok"]);
  ASSERT_TRUE(runUntil([&] { return bench.moduleById(lost)->ports().empty(); }));
  // Long past the boot time the module is still dark.
  for (int i = 0; i < 100; ++i) {
    bench.run();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(mode(lost), "rebooting");
  EXPECT_FALSE(ask("port", 23)["ok"]);
}

TEST_F(BenchModel, UnplugFaultPullsTheModuleDuringItsStage) {
  const std::string id = plug("Qca9x07", {"unplug:cp:50"});
  EXPECT_TRUE(ask("transfer", 11, {{"stage", "tp"}, {"done", 100}, {"total", 100}})["ok"]);
  EXPECT_TRUE(ask("transfer", 11, {{"stage", "cp"}, {"done", 49}, {"total", 100}})["ok"]);
  EXPECT_FALSE(ask("transfer", 11, {{"stage", "cp"}, {"done", 50}, {"total", 100}})["ok"]);
  EXPECT_EQ(mode(id), "unplugged");
  EXPECT_EQ(events.back()["event"], "removal");
  bench.handle({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(runUntil([&] { return mode(id) == "normal"; }));
  EXPECT_TRUE(ask("transfer", 11, {{"stage", "cp"}, {"done", 100}, {"total", 100}})["ok"])
      << "the fault fired once";
}

TEST_F(BenchModel, NvItemsBackupAndRestoreRoundTrip) {
  const auto folder = std::filesystem::temp_directory_path() / "zendral_bench_model_nv";
  std::filesystem::create_directories(folder);
  const std::string id = plug("Qca9x07", {"qcn-size:300000"});
  VirtualModule& module = *bench.moduleById(id);
  const std::string original = nvDigest(module.nvItems());
  EXPECT_EQ(ask("nv-read", 11, {{"item", 453}})["data"], json::array({0}));
  ASSERT_TRUE(ask("nv-write", 11, {{"item", 453}, {"data", json::array({1})}})["ok"]);
  EXPECT_FALSE(ask("nv-write", 11, {{"item", 5}, {"data", json(std::vector<int>(129, 0))}})["ok"]);
  EXPECT_FALSE(ask("nv-read", 11, {{"item", 7}})["ok"]);
  ASSERT_TRUE(ask("nv-write", 11, {{"item", 453}, {"data", json::array({0})}})["ok"]);

  const std::string file = (folder / "860000000000017.qcn").string();
  const json backup = ask("qcn-backup", 11, {{"path", file}, {"form", "qcn"}});
  ASSERT_TRUE(backup["ok"]) << backup.dump();
  EXPECT_EQ(std::filesystem::file_size(file), 300000u) << "the qcn-size fault decides the size";
  module.nvItems() = makeFactoryItems();
  ASSERT_TRUE(ask("qcn-restore", 11, {{"path", file}})["ok"]);
  EXPECT_EQ(nvDigest(module.nvItems()), original);
  EXPECT_FALSE(ask("qcn-restore", 11, {{"path", (folder / "none.qcn").string()}})["ok"]);
  EXPECT_FALSE(ask("spc", 11, {{"spc", "000000"}})["accepted"]);
  EXPECT_TRUE(ask("spc", 11, {{"spc", "271828"}})["accepted"]);
  std::filesystem::remove_all(folder);
}

TEST_F(BenchModel, AtPortAnswersOnItsTtyAndRestartsIntoTheBootLoader) {
  const std::string id = plug("Qca9x07");
  const std::string tty = bench.handle({{"cmd", "ports"}})["ports"][1]["tty"];
  const int fd = openRawTty(tty);
  ASSERT_GE(fd, 0);
  // The port says what a module says after boot; the exchanges below start after that.
  std::string banner;
  ASSERT_TRUE(runUntil([&] {
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) banner.append(buffer, static_cast<size_t>(n));
    return banner.find("+CPIN: READY\r\n") != std::string::npos;
  }));
  EXPECT_EQ(banner, "\r\nRDY\r\n\r\n+CFUN: 1\r\n\r\n+CPIN: READY\r\n");
  auto exchange = [&](const std::string& command) {
    EXPECT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string reply;
    runUntil([&] {
      VirtualModule& module = *bench.moduleById(id);
      for (const auto& port : module.ports()) {
        if (port->role == PortRole::kAt) module.onPortInput(*port);
      }
      char buffer[256];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) reply.append(buffer, static_cast<size_t>(n));
      return reply.find('\r') != std::string::npos && (reply.find("OK\r\n") != std::string::npos ||
                                                       command.find("boot") != std::string::npos);
    });
    return reply;
  };
  EXPECT_NE(exchange("AT+SIMEI?\r").find("+SIMEI: 860000000000017"), std::string::npos);
  EXPECT_EQ(exchange("at+bootldr\r"), "at+bootldr\r");
  ::close(fd);
  ASSERT_TRUE(runUntil([&] { return mode(id) == "fastboot"; }));
  const json commands = bench.handle({{"cmd", "state"}})["modules"][0]["commands"];
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1]["text"], "at+bootldr");
}

}  // namespace
}  // namespace sim
