#include "sim/bench/platform_profile.h"

#include <algorithm>
#include <cctype>

namespace sim {
namespace {

constexpr uint64_t KiB = 1024;
constexpr uint64_t MiB = 1024 * 1024;

std::vector<PlatformProfile> makeProfiles() {
  return {
      {"Qca9x07",
       3,
       0x9025,
       0,
       2,
       0x9009,
       false,
       true,
       true,
       0x000480E1,
       "Halvo_9x07_V1.0",
       "1024",
       {{"NPRG9x07.mbn", 300 * KiB},
        {"ENPRG9x07.mbn", 300 * KiB},
        {"partition.mbn", 2 * KiB},
        {"sbl1.mbn", 250 * KiB},
        {"tz.mbn", 400 * KiB},
        {"devcfg.mbn", 40 * KiB},
        {"rpm.mbn", 160 * KiB},
        {"appsboot.mbn", 450 * KiB},
        {"boot.img", 5 * MiB},
        {"system.img", 40 * MiB},
        {"userdata.img", 8 * MiB},
        {"modem.img", 30 * MiB},
        {"recovery.img", 5 * MiB},
        {"recoveryfs.img", 12 * MiB},
        {"efs2.qmbn", 600 * KiB}},
       {{"fastboot.img", 450 * KiB}},
       false,
       {},
       "normal",
       "emergency",
       {"sbl", "tz", "rpm", "aboot"},
       {"sbl", "tz", "devcfg", "rpm", "aboot", "boot", "system", "userdata", "persist", "customer",
        "modem", "recovery", "recoveryfs", "efs2"}},
      {"Qca9x15",
       0,
       0x9025,
       0,
       2,
       0x9008,
       true,
       false,
       true,
       0x00000000,
       "Halvo_9x15_V1.0",
       "1024",
       {{"NPRG9x15.hex", 250 * KiB},
        {"ENPRG9x15.hex", 250 * KiB},
        {"partition.mbn", 2 * KiB},
        {"sbl1.mbn", 200 * KiB},
        {"sbl2.mbn", 200 * KiB},
        {"rpm.mbn", 150 * KiB},
        {"dsp1.mbn", 2 * MiB},
        {"dsp2.mbn", 12 * MiB},
        {"dsp3.mbn", 6 * MiB},
        {"boot.img", 5 * MiB},
        {"system.img", 30 * MiB},
        {"userdata.img", 6 * MiB},
        {"recovery.img", 5 * MiB},
        {"recoveryfs.img", 10 * MiB},
        {"appsboot.mbn", 400 * KiB}},
       {{"appsboot_fastboot_9x15.mbn", 400 * KiB}}},
      {"Qca9x25",
       1,
       0x9025,
       0,
       2,
       0x9008,
       true,
       true,
       true,
       0x007F20E1,
       "Halvo_9x25_V1.0",
       "1024",
       {{"NPRG9x25.mbn", 300 * KiB},
        {"ENPRG9x25.mbn", 300 * KiB},
        {"partition.mbn", 2 * KiB},
        {"boot.img", 5 * MiB},
        {"system.img", 35 * MiB},
        {"userdata.img", 6 * MiB},
        {"recovery.img", 5 * MiB},
        {"recoveryfs.img", 10 * MiB},
        {"sbl1.mbn", 250 * KiB},
        {"sdi.mbn", 30 * KiB},
        {"tz.mbn", 300 * KiB},
        {"mba.mbn", 250 * KiB},
        {"rpm.mbn", 150 * KiB},
        {"qdsp6sw.mbn", 20 * MiB},
        {"dsp2.mbn", 8 * MiB},
        {"appsboot.mbn", 400 * KiB}},
       {}},
      // The modem images of these two are listed by the firmware's partition XML and
      // rawprogram XML, which the firmware maker writes beside them.
      {"Qca9206",
       4,
       0x9025,
       0,
       2,
       0x9009,
       true,
       true,
       false,
       0x000480E1,
       "Halvo_9206_V1.0",
       "512",
       {{"NPRG9x06.mbn", 300 * KiB},
        {"ENPRG9x06.mbn", 300 * KiB},
        {"partition.mbn", 2 * KiB},
        {"sbl1.mbn", 250 * KiB},
        {"tz.mbn", 400 * KiB},
        {"rpm.mbn", 160 * KiB},
        {"appsboot.mbn", 450 * KiB},
        {"mdm9607-boot.img", 5 * MiB},
        {"mdm9607-sysfs.ubi", 40 * MiB},
        {"NON-HLOS.ubi", 30 * MiB}},
       {},
       true,
       {"512", "1024"}},
      {"Qca8909",
       2,
       0x9025,
       0,
       2,
       kEdlProductId,
       false,
       true,
       false,
       0x000B80E1,
       "Halvo_8909_V1.0",
       "1024",
       {{"prog_emmc_firehose_8909_ddr.mbn", 350 * KiB},
        {"sbl1.mbn", 250 * KiB},
        {"rpm.mbn", 160 * KiB},
        {"tz.mbn", 400 * KiB},
        {"emmc_appsboot.mbn", 450 * KiB},
        {"boot.img", 8 * MiB},
        {"system.img", 60 * MiB},
        {"NON-HLOS.bin", 40 * MiB}},
       {}},
      {"Qca6695",
       5,
       0x9025,
       0,
       2,
       0x900E,
       true,
       false,
       false,
       0,
       "Halvo_6695_V1.0",
       "256",
       {{"NPRG6695.hex", 200 * KiB},
        {"ENPRG6695.hex", 200 * KiB},
        {"partition.mbn", 2 * KiB},
        {"dbl.mbn", 60 * KiB},
        {"fsbl.mbn", 80 * KiB},
        {"osbl.mbn", 400 * KiB},
        {"dsp.mbn", 12 * MiB}},
       {}},
      {"Qca6270",
       6,
       0x9025,
       0,
       2,
       0x900E,
       true,
       false,
       false,
       0,
       "Halvo_6270_V1.0",
       "256",
       {{"NPRG6270.hex", 200 * KiB},
        {"ENPRG6270.hex", 200 * KiB},
        {"partition.mbn", 2 * KiB},
        {"dbl.mbn", 60 * KiB},
        {"fsbl.mbn", 80 * KiB},
        {"osbl.mbn", 400 * KiB},
        {"amss.mbn", 16 * MiB}},
       {}},
  };
}

std::string normalised(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '_') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (out.rfind("qca", 0) != 0) out = "qca" + out;
  return out;
}

}  // namespace

const std::vector<PlatformProfile>& allProfiles() {
  static const std::vector<PlatformProfile> profiles = makeProfiles();
  return profiles;
}

const PlatformProfile* findProfile(const std::string& name) {
  const std::string wanted = normalised(name);
  for (const PlatformProfile& profile : allProfiles()) {
    if (normalised(profile.name) == wanted) return &profile;
  }
  return nullptr;
}

}  // namespace sim
