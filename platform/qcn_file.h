#pragma once
// The QCN/XQCN backup file of a module: its name and place in the backup folder (qcnFilePath),
// whether an existing file is a plausible backup, and how a file that has to make room is kept
// instead of deleted. A module's calibration may exist nowhere else, so no file is ever
// removed or replaced here.

#include <cstdint>
#include <optional>
#include <string>

// What backupQcn does: back up or restore, as a .qcn or an .xqcn file.
enum QcnOperation {
  kBackupQcn = 0,
  kBackupXqcn = 1,
  kRestoreQcn = 2,
  kRestoreXqcn = 3,
};

inline bool isQcnBackup(int op) {
  return op == kBackupQcn || op == kBackupXqcn;
}
inline bool isXqcn(int op) {
  return op == kBackupXqcn || op == kRestoreXqcn;
}
inline const char* qcnExtension(int op) {
  return isXqcn(op) ? "xqcn" : "qcn";
}

// True when `name` (an IMEI, or a file name the operator chose) names a file directly inside
// the backup folder: not empty, without "/" and without NUL.
bool isPlainQcnName(const std::string& name);

// "<qcnFilePath>/<name>.qcn" or ".xqcn"; just the file name when no folder is set.
std::string qcnFilePathFor(const std::string& name, int op);

// The size of the regular file at `path`; nullopt when there is none.
std::optional<uint64_t> qcnFileSize(const std::string& path);

// A backup is plausible when it is not empty and low x 1024 <= size <= high x 1024 bytes
// (qcnFileLowLimit, qcnFileHighLimit).
bool qcnSizePlausible(uint64_t size);

// Renames the file at `path` to "<path>.<yyyymmdd-hhmmss>.bak" (local time; "-2", "-3", ...
// is added before ".bak" when that name is taken). Never replaces an existing file. Returns
// the new path, or an empty text when the file could not be moved.
std::string moveQcnAside(const std::string& path);
