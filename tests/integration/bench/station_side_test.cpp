// The bench as the station sees it through its bench backends: the device directory with its
// notifications, the serial ports of the AT command port, and the fastboot device.

#include <atomic>
#include <fstream>

#include "fastboot/backends.h"
#include "fastboot/bench_transport.h"
#include "fastboot/transport.h"
#include "host/bench_device_directory.h"
#include "host/serial_port.h"
#include "sim/bench/sha256.h"
#include "tests/integration/bench/bench_fixture.h"

namespace {

class StationSide : public BenchFixture {
 protected:
  void SetUp() override {
    BenchFixture::SetUp();
    directory_ = host::makeDeviceDirectoryFromEnvironment();
    previous_ = host::installDeviceDirectory(directory_.get());
    listener_ = directory_->subscribe([this](host::DeviceChange change) {
      (change == host::DeviceChange::Arrival ? arrivals_ : removals_)++;
    });
  }
  void TearDown() override {
    CloseCom(12);
    directory_->unsubscribe(listener_);
    host::installDeviceDirectory(previous_);
    directory_.reset();
    BenchFixture::TearDown();
  }

  // One AT exchange on COM `com` as the station makes it.
  std::string atExchange(int com, const std::string& command) {
    EXPECT_EQ(OpenComConfig(com, nullptr, 115200, 0, 8, 1, 512, 512), 0);
    SetComTime(com, 2.0);
    FlushInQ(com);  // what the module printed before (its banner) is not the reply
    EXPECT_EQ(ComWrt(com, command.data(), static_cast<int>(command.size())),
              static_cast<int>(command.size()));
    char reply[257] = {};
    const int n = ComRd(com, reply, 256);
    CloseCom(com);
    return n > 0 ? std::string(reply, static_cast<size_t>(n)) : "";
  }

  // A restart command is only echoed: the module restarts before it could answer OK. The
  // banner of a module that has just booted may come around the echo.
  static bool echoOnly(const std::string& reply, const std::string& command) {
    return reply.find(command) != std::string::npos && reply.find("OK") == std::string::npos;
  }

  std::unique_ptr<host::DeviceDirectory> directory_;
  host::DeviceDirectory* previous_ = nullptr;
  int listener_ = 0;
  std::atomic<int> arrivals_{0};
  std::atomic<int> removals_{0};
};

TEST_F(StationSide, DirectoryListsTheModulesPortsAndReportsArrivalAndRemoval) {
  ASSERT_NE(dynamic_cast<host::BenchDeviceDirectory*>(directory_.get()), nullptr);
  // The directory reports an arrival when it reaches the bench and one for the plug; the first
  // may come before this test listens.
  const std::string id = plug("Qca9x07");
  ASSERT_TRUE(waitFor([&] { return arrivals_ > 0; })) << "the directory reports its bench";
  std::vector<host::SerialPortInfo> ports;
  ASSERT_EQ(directory_->listSerialPorts(ports), 0);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].friendlyName, "Qualcomm HS-USB Diagnostics 9025 (COM11)");
  EXPECT_EQ(ports[0].comNumber, 11);
  EXPECT_EQ(ports[1].friendlyName, "Qualcomm HS-USB AT Port 9025 (COM12)");
  EXPECT_EQ(ports[0].portPath, "1-1");
  EXPECT_EQ(ports[1].portPath, "1-1");
  EXPECT_EQ(directory_->ttyPathOfCom(12), ports[1].ttyPath);
  EXPECT_TRUE(directory_->ttyPathOfCom(13).empty());

  request({{"cmd", "unplug"}, {"id", id}});
  ASSERT_TRUE(waitFor([&] { return removals_ > 0; }));
  ASSERT_EQ(directory_->listSerialPorts(ports), 0);
  EXPECT_TRUE(ports.empty());
}

TEST_F(StationSide, AtPortAnswersOnItsPty) {
  plug("Qca9x07");
  const std::string imei = moduleState("1")["imei"];
  const std::string reply = atExchange(12, "AT+SIMEI?\r");
  EXPECT_NE(reply.find("+SIMEI: " + imei), std::string::npos) << reply;
  EXPECT_NE(reply.find("OK"), std::string::npos);
  EXPECT_NE(atExchange(12, "AT+CFUN?\r").find("+CFUN: 1"), std::string::npos);
  const nlohmann::json commands = moduleState("1")["commands"];
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0]["via"], "at");
  EXPECT_EQ(commands[0]["text"], "AT+SIMEI?");
}

TEST_F(StationSide, AtFaultsSilenceOrRefuse) {
  plug("Qca9x07", {"at-silent"});
  plug("Qca9x07", {"at-error"});
  EXPECT_EQ(atExchange(12, "AT+SIMEI?\r"), "");
  const std::string refused = atExchange(22, "AT+SIMEI?\r");
  EXPECT_NE(refused.find("ERROR"), std::string::npos);
  EXPECT_EQ(refused.find("OK"), std::string::npos);
}

TEST_F(StationSide, BootLoaderShowsAFastbootDeviceThatFlashesAndReboots) {
  const std::filesystem::path image = folder_ / "boot.img";
  {
    std::ofstream file(image, std::ios::binary);
    for (int i = 0; i < 100000; ++i) file.put(static_cast<char>(i * 7));
  }
  plug("Qca9x07", {"fastboot-fail:system"});
  EXPECT_TRUE(echoOnly(atExchange(12, "at+bootldr\r"), "at+bootldr\r"));
  ASSERT_TRUE(waitForMode("1", "fastboot"));
  std::vector<std::string> paths;
  ASSERT_EQ(directory_->listUsbInterfaces(paths), 0);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_NE(paths[0].find("vid_18d1&pid_d00d#bench-1#"), std::string::npos);
  std::vector<host::UsbDeviceInfo> devices;
  ASSERT_EQ(directory_->listUsbDevices(devices), 0);
  EXPECT_EQ(devices, (std::vector<host::UsbDeviceInfo>{{paths[0], "1-1"}}));

  // The transport opens the device by its path through the bench backend.
  fastboot::registerBenchBackend(socket_);
  fb_transport* transport = usb_open_by_name(paths[0], match_fastboot);
  ASSERT_NE(transport, nullptr) << usb_last_error();
  std::string serial;
  EXPECT_TRUE(transport->link->readSerialNumber(serial));
  EXPECT_EQ(serial, "bench-1");
  usb_close(transport);
  EXPECT_EQ(usb_open_by_name(paths[0] + "x", match_fastboot), nullptr);
  fastboot::unregisterBackend(fastboot::kBenchPathPrefix);

  // zendral-tool flashes it over its TCP device.
  const std::string device =
      "tcp:127.0.0.1:" + std::to_string(moduleState("1")["fastbootTcpPort"].get<int>());
  std::string output;
  ASSERT_EQ(runProgram({binPath("zendral-tool"), "fastboot", "--device", device, "flash", "boot",
                        image.string()},
                       output),
            0)
      << output;
  output.clear();
  EXPECT_EQ(runProgram({binPath("zendral-tool"), "fastboot", "--device", device, "flash", "system",
                        image.string()},
                       output),
            1)
      << "fastboot-fail:system: " << output;
  output.clear();
  ASSERT_EQ(runProgram({binPath("zendral-tool"), "fastboot", "--device", device, "reboot"}, output),
            0)
      << output;
  ASSERT_TRUE(waitForMode("1", "normal"));
  std::string sha;
  uint64_t size = 0;
  ASSERT_TRUE(sim::sha256OfFile(image.string(), sha, size));
  const nlohmann::json boot = partition("1", "boot");
  EXPECT_EQ(boot.value("sha256", ""), sha);
  EXPECT_EQ(boot.value("size", 0u), size);
  EXPECT_EQ(boot.value("via", ""), "fastboot");
  bool sawFlash = false;
  const nlohmann::json state = moduleState("1");
  for (const auto& command : state["commands"]) {
    sawFlash |= command["via"] == "fastboot" && command["text"] == "flash:boot";
  }
  EXPECT_TRUE(sawFlash);
}

TEST_F(StationSide, FastbootFaultsPullTheModuleOrHideTheLoader) {
  const std::filesystem::path image = folder_ / "system.img";
  {
    std::ofstream file(image, std::ios::binary);
    for (int i = 0; i < 4 << 20; ++i) file.put(static_cast<char>(i * 13));
  }
  plug("Qca9x07", {"unplug:ap:50"});
  plug("Qca9x07", {"no-fastboot"});
  EXPECT_TRUE(echoOnly(atExchange(12, "at+bootldr\r"), "at+bootldr\r"));
  EXPECT_TRUE(echoOnly(atExchange(22, "at+bootldr\r"), "at+bootldr\r"));
  ASSERT_TRUE(waitForMode("1", "fastboot"));
  const std::string device =
      "tcp:127.0.0.1:" + std::to_string(moduleState("1")["fastbootTcpPort"].get<int>());
  std::string output;
  EXPECT_NE(runProgram({binPath("zendral-tool"), "fastboot", "--device", device, "flash", "system",
                        image.string()},
                       output),
            0)
      << output;
  EXPECT_EQ(moduleState("1")["mode"], "unplugged");
  EXPECT_TRUE(partition("1", "system").is_null());
  // The other module went dark for good: its ports left, and no fastboot device came, long
  // after the first module's loader did.
  ASSERT_TRUE(waitFor([&] { return moduleState("2")["ports"].empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(moduleState("2")["mode"], "rebooting");
  EXPECT_TRUE(moduleState("2")["usb"].empty());
}

}  // namespace
