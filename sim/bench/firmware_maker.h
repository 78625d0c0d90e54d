#pragma once
// Synthetic firmware folders: every file a platform's file list expects (the programmer names
// by which the station recognises the platform, the images, the partition XML files), filled
// with random bytes in realistic relative sizes, so the demo and the tests need nothing from
// outside. The station's own images (kept in its working folder) can be written elsewhere.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct FirmwareOptions {
  std::string platform;
  std::string folder;
  double sizeScale = 1.0;     // file sizes relative to a real firmware
  std::string stationFolder;  // where the station's own images go; empty: not written
  unsigned seed = 1;
  // Files written at exactly this many bytes whatever the scale ("system.img" -> 100,000,000
  // makes an image larger than one fastboot download piece). Each must be a file of the
  // platform's firmware.
  std::map<std::string, uint64_t> exactSizes;
  // Qca8909 only: the firmware family, told apart by the programmer's name: "" (the 8909
  // eMMC programmer), "elf" (an .elf programmer, with the backup firmware of its qmbn road in
  // "backup/": other images, "rawprogram...-<version>.xml" and a patch file), "sdx55", "9x55"
  // or "9x45".
  std::string variant;
};

// Writes the folder (creating it) and returns the paths written; false with `error` set when
// the platform is unknown or a file cannot be written.
bool makeFirmware(const FirmwareOptions& options, std::vector<std::string>& written,
                  std::string& error);

}  // namespace sim
