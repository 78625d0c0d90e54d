// Whole firmwares through the flash sequences and flash_all to the test device over TCP:
// every partition the device keeps must equal its image file byte for byte.

#include <gtest/gtest.h>

#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "fastboot/flash_sequences.h"
#include "fastboot/image_loader.h"
#include "sim/fastboot_device/tcp_device.h"
#include "unit/fastboot/fastboot_test_support.h"

namespace {

class FlashOverTcp : public ::testing::Test {
 protected:
  void TearDown() override {
    queue_action_clear();
    release_images();
  }
  void expectPartition(const std::string& name, const std::string& file) {
    auto kept = device_.model().partition(name);
    ASSERT_TRUE(kept) << name;
    EXPECT_TRUE(*kept == fbtest::readFile(file)) << name << " differs from " << file;
  }

  sim::TcpFastbootDevice device_;
  fbtest::RecordingSurface surface_;
};

TEST_F(FlashOverTcp, Qca9x15CutsLargeImagesAndTheDeviceReassemblesThem) {
  device_.model().setMaxDownloadSize(kQca9x15FlashPieceLimit);
  std::string system = fbtest::writeImage("system.img", 2 * 38658048 + 12345, 2);
  std::string boot = fbtest::writeImage("boot.img", 38658048, 3);
  std::string aboot = fbtest::writeImage("aboot.mbn", 4097, 4);
  std::string user = fbtest::writeImage("userdata.img", 1, 5);
  std::string rec = fbtest::writeImage("recovery.img", 4096, 6);
  std::string recfs = fbtest::writeImage("recoveryfs.img", 70000, 7);
  ASSERT_EQ(flash_loaddata2(boot, system, user, rec, recfs, aboot), 0);

  uint64_t total = 2 * 38658048 + 12345 + 38658048 + 4097 + 1 + 4096 + 70000;
  EXPECT_EQ(flash_all(1, device_.path(), total, 0.0), 0);
  expectPartition("system", system);
  expectPartition("boot", boot);
  expectPartition("aboot", aboot);
  expectPartition("userdata", user);
  expectPartition("recovery", rec);
  expectPartition("recoveryfs", recfs);
  EXPECT_EQ(device_.model().rebootCount(), 1);

  std::vector<std::string> systemSteps;
  for (const std::string& c : device_.model().commands()) {
    if (c.find("system") != std::string::npos) systemSteps.push_back(c);
  }
  EXPECT_EQ(systemSteps,
            (std::vector<std::string>{"flash:system", "flashC:system", "flashC:system"}));
  EXPECT_EQ(surface_.progress().back(), 100);
}

TEST_F(FlashOverTcp, Qca9x07KeepsModemAndUserdataApartAndRewritesEfs2) {
  Qca9x07Images im;
  for (auto [field, name, seed] : {std::tuple{&im.sbl, "sbl1.mbn", 1},
                                   {&im.tz, "tz.mbn", 2},
                                   {&im.rpm, "rpm.mbn", 3},
                                   {&im.aboot, "appsboot.mbn", 4},
                                   {&im.boot, "boot.img", 5},
                                   {&im.system, "system.img", 6},
                                   {&im.modem, "modem.img", 7},
                                   {&im.recovery, "recovery.img", 8},
                                   {&im.recoveryfs, "recoveryfs.img", 9},
                                   {&im.efs2, "efs2.bin", 10},
                                   {&im.userdata, "userdata.img", 11},
                                   {&im.persist, "persist.img", 12}}) {
    *field = fbtest::writeImage(name, 5000 + 997 * seed, seed);
  }
  Qca9x07Options options;
  options.backupRestoreQcn = true;
  ASSERT_EQ(flash_loaddata5(im, options), 0);
  EXPECT_EQ(flash_all(1, device_.path(), 100000, 0.2), 0);

  for (auto [partition, file] : {std::pair{"boot", im.boot},
                                 {"system", im.system},
                                 {"modem", im.modem},
                                 {"recovery", im.recovery},
                                 {"recoveryfs", im.recoveryfs},
                                 {"efs2", im.efs2},
                                 {"userdata", im.userdata},
                                 {"persist", im.persist}}) {
    expectPartition(partition, file);
  }
  EXPECT_FALSE(device_.model().partition("aboot"));
  EXPECT_FALSE(device_.model().partition("sbl"));
  auto commands = device_.model().commands();
  auto erase = std::find(commands.begin(), commands.end(), "erase:efs2");
  ASSERT_NE(erase, commands.end());
  EXPECT_EQ(*(erase + 2), "flash:efs2");
}

TEST_F(FlashOverTcp, AFailureHalfwayLeavesTheRestUnwritten) {
  std::string image = fbtest::writeImage("image.img", 3000);
  sim::FastbootDeviceModel::Fault vanish;
  vanish.disconnect = true;
  device_.model().setFault("flash:system", vanish);
  ASSERT_EQ(flash_loaddata1(image, image, image, image, image), 0);
  EXPECT_EQ(flash_all(1, device_.path(), 15000, 0), -1);
  expectPartition("boot", image);
  EXPECT_FALSE(device_.model().partition("system"));
  EXPECT_FALSE(device_.model().partition("userdata"));
  EXPECT_EQ(device_.model().rebootCount(), 0);
  EXPECT_EQ(surface_.progress().back(), 100);
}

}  // namespace
