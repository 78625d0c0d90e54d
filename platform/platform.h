#pragma once
// The platform operation table. Everything that differs between the chipset platforms (the
// firmware file list and its panel, the CP, AP and TP steps of a download) is reached through
// one table, chosen by the platform type. Exactly one table exists at a time; the station
// replaces it whenever the operator picks another platform or firmware folder.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "host/file_table.h"

using PlatformType = int32_t;

inline constexpr PlatformType kQca9x15 = 0;
inline constexpr PlatformType kQca9x25 = 1;  // a complete table that no selection produces
inline constexpr PlatformType kQca8909 = 2;
inline constexpr PlatformType kQca9x07 = 3;
inline constexpr PlatformType kQca9206 = 4;
inline constexpr PlatformType kQca6695 = 5;
inline constexpr PlatformType kQca6270 = 6;
inline constexpr int kPlatformTypeCount = 7;

// The argument of the CP, AP and TP operations: built by the station from the DUT slot,
// zero-filled first. Its layout is fixed (820 bytes).
struct DownloadRequest {
  int32_t portKind;  // 0 diagnostic, 1 QDLoader 9008, 2 QDLoader 9009 / Diagnostics 900E
  int32_t reserved1;
  int32_t slot;  // DUT number, 1-based
  int32_t diaport;
  int32_t reserved2;
  char devicePath[512];  // the fastboot device's interface path
  char imei[260];
  char meid[16];  // at most 15 characters
  int32_t atport;
  int32_t ql9008port;
  int32_t ql9009port;
};
static_assert(sizeof(DownloadRequest) == 820);
static_assert(std::is_standard_layout_v<DownloadRequest>);
static_assert(std::is_trivially_copyable_v<DownloadRequest>);
static_assert(offsetof(DownloadRequest, devicePath) == 20);
static_assert(offsetof(DownloadRequest, imei) == 532);
static_assert(offsetof(DownloadRequest, meid) == 792);
static_assert(offsetof(DownloadRequest, atport) == 808);
static_assert(offsetof(DownloadRequest, ql9009port) == 816);

// The table: the type, then the seven operations in this order. The file-list operations work
// on the file panel's table; the download operations run on the worker thread and report for
// the request's slot.
struct PlatformOps {
  PlatformType type;
  // After the operator picked a firmware folder (and the table was saved): load from it.
  int (*autoLoad)(host::FileTable& table, const char* folder);
  // Fill the table (row 1 the firmware folder, then the files); negative: no usable list.
  int (*load)(host::FileTable& table);
  // Store the table's entries as the platform's file list.
  int (*save)(host::FileTable& table);
  // 0 on success; anything else is posted as the DUT's status.
  int (*cpDownload)(const DownloadRequest& request);
  int (*apDownload)(const DownloadRequest& request);
  int (*tpStep)(const DownloadRequest& request);
  int (*downloadCompleted)();
};

// The one table, or null.
extern PlatformOps* pPlatforms;

// Returns the table. When one exists it is returned unchanged, whatever its type; otherwise a
// new one is made for `type` from its platform's row. Null for a type outside 0 to 6, when no
// rows are installed, or when memory runs out.
PlatformOps* platfrom_create_instance(PlatformType type);

// Frees the table, if any, and clears pPlatforms.
void platform_dispose();

// Where the rows of the table come from: the chipset procedures install theirs at start-up;
// tests install fakes. A source returns the row of a type (its `type` field is set by
// platfrom_create_instance), or null when it has none.
using PlatformRowSource = const PlatformOps* (*)(PlatformType type);
PlatformRowSource installPlatformRows(PlatformRowSource source);
PlatformRowSource platformRows();
