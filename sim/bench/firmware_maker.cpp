#include "sim/bench/firmware_maker.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "sim/bench/firmware_formats.h"
#include "sim/bench/platform_profile.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

// No image is empty: the station refuses empty images.
constexpr uint64_t kMinimumSize = 64;

bool writeRandom(const fs::path& path, uint64_t size, std::mt19937_64& random, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  std::vector<uint64_t> block(8192);
  while (file && size > 0) {
    for (uint64_t& word : block) word = random();
    const uint64_t take = std::min<uint64_t>(size, block.size() * sizeof(uint64_t));
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(take));
    size -= take;
  }
  if (!file.flush()) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

bool writeText(const fs::path& path, const std::string& text, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.flush()) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// The partition list of a NAND firmware: name and image file of every partition, one entry
// for the partition table itself and one partition without an image.
std::string nandPartitionXml() {
  const char* entries[][2] = {{"0:SBL", "sbl1.mbn"},
                              {"0:MIBIB", "partition.mbn"},
                              {"0:TZ", "tz.mbn"},
                              {"0:RPM", "rpm.mbn"},
                              {"0:aboot", "appsboot.mbn"},
                              {"0:boot", "mdm9607-boot.img"},
                              {"0:system", "mdm9607-sysfs.ubi"},
                              {"0:modem", "NON-HLOS.ubi"},
                              {"0:EFS2", ""}};
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<nandboot>\n  <partitions>\n";
  for (const auto& entry : entries) {
    xml += "    <partition>\n      <name>" + std::string(entry[0]) + "</name>\n      <img_name>" +
           entry[1] + "</img_name>\n    </partition>\n";
  }
  return xml + "  </partitions>\n</nandboot>\n";
}

// The Firehose program list of an eMMC firmware and its (empty) patch list.
std::string rawprogramXml(const std::vector<FirmwareFile>& files) {
  std::string xml = "<?xml version=\"1.0\" ?>\n<data>\n";
  uint64_t sector = 34;
  for (const FirmwareFile& file : files) {
    std::string name = file.name;
    if (name.find("firehose") != std::string::npos) continue;
    std::string label = name.substr(0, name.find('.'));
    if (label == "emmc_appsboot") label = "aboot";
    if (label == "NON-HLOS") label = "modem";
    xml += "  <program SECTOR_SIZE_IN_BYTES=\"512\" file_sector_offset=\"0\" filename=\"" + name +
           "\" label=\"" + label + "\" num_partition_sectors=\"" +
           std::to_string(file.typicalSize / 512 + 1) +
           "\" physical_partition_number=\"0\" start_sector=\"" + std::to_string(sector) + "\"/>\n";
    sector += file.typicalSize / 512 + 1;
  }
  return xml + "</data>\n";
}

// A programmer: its header line, then random bytes up to its size.
bool writeProgrammer(const fs::path& path, const std::string& kind, const std::string& platform,
                     uint64_t size, std::mt19937_64& random, std::string& error) {
  const uint64_t header = programmerHeader(kind, platform, "").size();
  std::string body(std::max<uint64_t>(size > header ? size - header : 0, kMinimumSize), '\0');
  for (char& c : body) c = static_cast<char>(random());
  return writeText(path, programmerHeader(kind, platform, body) + body, error);
}

// One file of the firmware, in the form the module checks where it checks one.
bool writeFirmwareFile(const PlatformProfile& profile, const FirmwareFile& file,
                       const fs::path& path, uint64_t size, std::mt19937_64& random,
                       std::string& error) {
  if (auto kind = programmerKindOf(file.name)) {
    return writeProgrammer(path, *kind, profile.name, size, random, error);
  }
  if (std::string(file.name) == "partition.mbn" && !profile.partitions.empty()) {
    return writeText(
        path, partitionTableText({profile.partitions.begin(), profile.partitions.end()}), error);
  }
  return writeRandom(path, size, random, error);
}

const char kPatchXml[] = "<?xml version=\"1.0\" ?>\n<patches>\n</patches>\n";

// The programmer of each Qca8909 firmware family; null for an unknown family.
const char* qca8909Programmer(const std::string& variant) {
  if (variant.empty()) return "prog_emmc_firehose_8909_ddr.mbn";
  if (variant == "elf") return "prog_nand_firehose_9205.elf";
  if (variant == "sdx55") return "prog_firehose_sdx55.mbn";
  if (variant == "9x55") return "prog_nand_firehose_9x55.mbn";
  if (variant == "9x45") return "prog_nand_firehose_9x45.mbn";
  return nullptr;
}

// The version the backup firmware is named after: the module's AP revision, "," read as "_".
std::string backupVersion(const PlatformProfile& profile) {
  std::string version = profile.apRevision ? profile.apRevision : profile.revision;
  const size_t comma = version.find(',', 1);
  if (comma != std::string::npos) version[comma] = '_';
  return version;
}

}  // namespace

bool makeFirmware(const FirmwareOptions& options, std::vector<std::string>& written,
                  std::string& error) {
  const PlatformProfile* profile = findProfile(options.platform);
  if (!profile) {
    error = "unknown platform '" + options.platform + "'";
    return false;
  }
  if (!(options.sizeScale > 0) || options.sizeScale > 100) {
    error = "the size scale must be above 0 and at most 100";
    return false;
  }
  std::error_code ec;
  fs::create_directories(options.folder, ec);
  if (ec) {
    error = "cannot create " + options.folder + ": " + ec.message();
    return false;
  }
  for (const auto& [name, size] : options.exactSizes) {
    const std::string& wanted = name;  // clang 14 cannot capture a structured binding
    const bool known =
        std::any_of(profile->firmware.begin(), profile->firmware.end(),
                    [&wanted](const FirmwareFile& file) { return wanted == file.name; });
    if (!known) {
      error = "'" + name + "' is not a file of the " + profile->name + " firmware";
      return false;
    }
    if (size == 0) {
      error = "'" + name + "' cannot be empty";
      return false;
    }
  }
  std::mt19937_64 random(options.seed);
  auto sized = [&](uint64_t typical) {
    return std::max<uint64_t>(kMinimumSize,
                              static_cast<uint64_t>(std::llround(typical * options.sizeScale)));
  };
  const bool qca8909 = std::string(profile->name) == "Qca8909";
  const char* programmer = qca8909 ? qca8909Programmer(options.variant) : nullptr;
  if (!options.variant.empty() && !programmer) {
    error = "unknown firmware variant '" + options.variant + "'";
    return false;
  }
  for (const FirmwareFile& file : profile->firmware) {
    const bool isProgrammer =
        programmer && std::string(file.name).find("firehose") != std::string::npos;
    const fs::path path = fs::path(options.folder) / (isProgrammer ? programmer : file.name);
    const auto exact = options.exactSizes.find(file.name);
    const uint64_t size =
        exact != options.exactSizes.end() ? exact->second : sized(file.typicalSize);
    if (!writeFirmwareFile(*profile, file, path, size, random, error)) return false;
    written.push_back(path.string());
  }
  std::vector<std::pair<std::string, std::string>> texts;
  if (std::string(profile->name) == "Qca9206") {
    texts.emplace_back("partition_nand.xml", nandPartitionXml());
  }
  if (std::string(profile->name) == "Qca8909") {
    texts.emplace_back("rawprogram_nand_p4K_b256K.xml", rawprogramXml(profile->firmware));
    texts.emplace_back("patch_p4K_b256K.xml", kPatchXml);
  }
  if (qca8909 && options.variant == "elf") {
    // The backup firmware: other images under the same names, its version in the name of its
    // rawprogram file.
    const std::string rawprogram =
        "backup/rawprogram_nand_p4K_b256K-" + backupVersion(*profile) + ".xml";
    texts.emplace_back(rawprogram, rawprogramXml(profile->firmware));
    texts.emplace_back("backup/patch_p4K_b256K.xml", kPatchXml);
    fs::create_directories(fs::path(options.folder) / "backup", ec);
    for (const FirmwareFile& file : profile->firmware) {
      if (std::string(file.name).find("firehose") != std::string::npos) continue;
      const fs::path path = fs::path(options.folder) / "backup" / file.name;
      if (!writeRandom(path, sized(file.typicalSize), random, error)) return false;
      written.push_back(path.string());
    }
  }
  for (const auto& [name, text] : texts) {
    const fs::path path = fs::path(options.folder) / name;
    if (!writeText(path, text, error)) return false;
    written.push_back(path.string());
  }
  if (!options.stationFolder.empty()) {
    fs::create_directories(options.stationFolder, ec);
    for (const FirmwareFile& file : profile->stationFiles) {
      const fs::path path = fs::path(options.stationFolder) / file.name;
      if (!writeRandom(path, sized(file.typicalSize), random, error)) return false;
      written.push_back(path.string());
    }
  }
  return true;
}

}  // namespace sim
