#pragma once
// The procedure the Qca6270 and Qca6695 platforms share. Their modules take a hex flash
// programmer in the older download mode, and the library sends the programmer and a fixed set
// of boot and modem images in one multi-image upload. Each platform is a small description
// (its file names, texts and the few steps in which its module differs) and a state of its own
// (the firmware it loaded, its QCN format and its download progress); the operations below
// work on both.

#include <cstdint>
#include <string>

#include "chipsets/download_text_log.h"
#include "host/file_table.h"
#include "platform/platform.h"
#include "platform/qca_library.h"
#include "platform/qlib_api.h"

// The firmware table: the folder in row 1 and seven files after it, always in this order.
enum Qca6xRow {
  kQca6xFolderRow = 1,
  kQca6xNormalProgrammerRow,
  kQca6xEmergencyProgrammerRow,
  kQca6xPartitionRow,
  kQca6xDblRow,
  kQca6xFsblRow,
  kQca6xOsblRow,
  kQca6xModemRow,
};
inline constexpr int kQca6xRowCount = kQca6xModemRow;

// What a load keeps for the downloads. Written by the load on the UI thread while no download
// runs; read by the downloads and the text-log callback.
struct Qca6xFirmware {
  std::string folder;
  // The paths of rows 2 to 8 (index 0 is row 2).
  std::string files[kQca6xRowCount - 1];
  uint64_t downloadTotal = 0;  // bytes of the files of rows 2 to 8

  const std::string& file(Qca6xRow row) const { return files[row - kQca6xNormalProgrammerRow]; }
};

// Everything a platform keeps from one load to the next.
struct Qca6xState {
  explicit Qca6xState(const DownloadTextStyle& style) : textLog(style) {}

  Qca6xFirmware firmware;
  // 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn").
  int useQcn = 0;
  // The per-slot and platform-wide progress of the upload.
  DownloadTextLog textLog;
};

// The text log both platforms read: the programmer's greeting starts the progress again and
// "Downloading" texts end in "mbn ...". `downloadTotal` is the platform's own byte count.
inline constexpr ProgressMark kQca6xMarks[] = {
    {"Sending HELLO to flash programmer", ProgressMark::Restart, nullptr},
};
constexpr DownloadTextStyle qca6xTextStyle(uint64_t (*downloadTotal)()) {
  return {slotOfHandle, kQca6xMarks, 1, "mbn ...", downloadTotal};
}

struct Qca6xPlatform {
  const char* label;    // the platform text of the DUT log, "6270"
  const char* iniFile;  // "Platform/Qca6270.ini"
  // The files of rows 2, 3 and 8 in the firmware folder.
  const char* normalProgrammer;
  const char* emergencyProgrammer;
  const char* modemImage;
  const char* tpText;  // "Enter downloadTpQca6270..."

  // Whether the module, once it answered the download no-op or took the download reset, is
  // also asked to switch to download mode; it is then always given 5 s after its first
  // connection closes (without the switch only a reset is waited for).
  bool switchAfterNop;
  // Whether a failed first connection, phone check or upload shows the library's last error
  // text (otherwise a failed phone check logs the module's version instead).
  bool reportLibraryError;

  Qca6xState& (*state)();
  QLIB_TextLogCallback_t textLogCallBack;
};

// The platform operations, on `platform`.
int loadQca6xFileList(const Qca6xPlatform& platform, host::FileTable& table);
int saveQca6xFileList(const Qca6xPlatform& platform, host::FileTable& table);
int downloadCpQca6x(const Qca6xPlatform& platform, const DownloadRequest& request);
int downloadApQca6x(const Qca6xPlatform& platform, const DownloadRequest& request);
int downloadTpQca6x(const Qca6xPlatform& platform, const DownloadRequest& request);

// Puts a platform's state back to its start-up values.
void resetQca6xState(Qca6xState& state);
