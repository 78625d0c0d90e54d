#include "sim/bench/firmware_maker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/bench/platform_profile.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

FirmwareOptions options(std::string platform, std::string folder, double scale = 1.0,
                        std::string stationFolder = "") {
  FirmwareOptions out;
  out.platform = std::move(platform);
  out.folder = std::move(folder);
  out.sizeScale = scale;
  out.stationFolder = std::move(stationFolder);
  return out;
}

class FirmwareMaker : public ::testing::Test {
 protected:
  FirmwareMaker()
      : folder(fs::temp_directory_path() / ("zendral_fw_" + std::to_string(::getpid()))) {}
  ~FirmwareMaker() override { fs::remove_all(folder); }

  std::string read(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path folder;
};

TEST_F(FirmwareMaker, WritesEveryFileOfEveryPlatformNonEmpty) {
  for (const PlatformProfile& profile : allProfiles()) {
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(makeFirmware(options(profile.name, (folder / profile.name).string(), 0.0001,
                                     (folder / "station").string()),
                             written, error))
        << profile.name << ": " << error;
    for (const FirmwareFile& file : profile.firmware) {
      const fs::path path = folder / profile.name / file.name;
      ASSERT_TRUE(fs::exists(path)) << path;
      EXPECT_GT(fs::file_size(path), 0u) << path;
    }
  }
  EXPECT_TRUE(fs::exists(folder / "Qca9x07" / "NPRG9x07.mbn"));
  EXPECT_TRUE(fs::exists(folder / "station" / "fastboot.img"));
  EXPECT_TRUE(fs::exists(folder / "station" / "appsboot_fastboot_9x15.mbn"));
}

TEST_F(FirmwareMaker, SizesFollowTheScaleAndRelativeSizes) {
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(makeFirmware(options("Qca9x07", folder.string(), 0.01), written, error)) << error;
  EXPECT_EQ(fs::file_size(folder / "system.img"), 419430u);
  EXPECT_GT(fs::file_size(folder / "system.img"), fs::file_size(folder / "boot.img"));
  // Random contents: two images never match.
  EXPECT_NE(read(folder / "sbl1.mbn"),
            read(folder / "tz.mbn").substr(0, fs::file_size(folder / "sbl1.mbn")));
}

TEST_F(FirmwareMaker, PartitionListsNameTheirImages) {
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(makeFirmware(options("Qca9206", folder.string(), 0.0001), written, error)) << error;
  const std::string nand = read(folder / "partition_nand.xml");
  EXPECT_NE(nand.find("<name>0:SBL</name>"), std::string::npos);
  EXPECT_NE(nand.find("<img_name>partition.mbn</img_name>"), std::string::npos);
  ASSERT_TRUE(makeFirmware(options("Qca8909", folder.string(), 0.0001), written, error)) << error;
  const std::string raw = read(folder / "rawprogram_nand_p4K_b256K.xml");
  EXPECT_NE(raw.find("filename=\"system.img\" label=\"system\""), std::string::npos);
  EXPECT_EQ(raw.find("firehose"), std::string::npos) << "the programmer is not an image";
  EXPECT_TRUE(fs::exists(folder / "patch_p4K_b256K.xml"));
}

TEST_F(FirmwareMaker, RefusesUnknownPlatformsAndScales) {
  std::vector<std::string> written;
  std::string error;
  EXPECT_FALSE(makeFirmware(options("Qca0000", folder.string()), written, error));
  EXPECT_NE(error.find("unknown platform"), std::string::npos);
  EXPECT_FALSE(makeFirmware(options("Qca9x07", folder.string(), 0), written, error));
  EXPECT_FALSE(makeFirmware(options("Qca9x07", folder.string(), -1), written, error));
  EXPECT_FALSE(makeFirmware(options("Qca9x07", "/proc/zendral/none"), written, error));
}

TEST_F(FirmwareMaker, ExactSizesOverrideTheScaleAndOnlyNameFilesOfTheFirmware) {
  FirmwareOptions big = options("Qca9x15", folder.string(), 0.0001);
  big.exactSizes = {{"system.img", 40000000}};
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(makeFirmware(big, written, error)) << error;
  EXPECT_EQ(fs::file_size(folder / "system.img"), 40000000u);
  EXPECT_LT(fs::file_size(folder / "boot.img"), 1000u);

  big.exactSizes = {{"modem.img", 100}};
  EXPECT_FALSE(makeFirmware(big, written, error)) << "the Qca9x15 firmware has no modem image";
  EXPECT_EQ(error, "'modem.img' is not a file of the Qca9x15 firmware");
  big.exactSizes = {{"boot.img", 0}};
  EXPECT_FALSE(makeFirmware(big, written, error));
}

}  // namespace
}  // namespace sim
