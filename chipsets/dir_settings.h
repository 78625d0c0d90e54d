#pragma once
// The "Dir" section of a platform's INI file ("Platform/<name>.ini") as the file lists read
// and write it: texts of at most 259 characters, unsigned numbers and flags. Reads return the
// INI store's result; a load ends at the first negative one.

#include <string>

#include "ini/inifile.h"

inline constexpr char kDirSection[] = "Dir";

// Absent texts read as empty text.
int readDirText(IniDocument* doc, const char* item, std::string& out);
// The same for a text of another section.
int readSectionText(IniDocument* doc, const char* section, const char* item, std::string& out);
// Absent numbers keep their value; larger values than an int holds read as its largest.
int readDirUnsigned(IniDocument* doc, const char* item, int& out);

// Absent flags keep their value; present ones read as 0 or 1.
template <typename Flag>
int readDirFlag(IniDocument* doc, const char* item, Flag& out) {
  int value = 0;
  const int result = Ini_GetBoolean(doc, kDirSection, item, &value);
  if (result == 1) out = value != 0 ? 1 : 0;
  return result;
}

// Reads the high QCN size limit; 0, which would refuse every backup, becomes 1000.
int readQcnHighLimit(IniDocument* doc);

// Reads `file` (one that does not exist yet as empty settings) and the items most folder
// settings begin with: "Dir Path" into `folder`, then
// the two QCN size limits. The first negative result ends it.
int readFolderSettings(IniDocument* doc, const char* file, std::string& folder);

// Collects the results of a save's writes and keeps the first failure.
class IniWrites {
 public:
  void operator()(int result) {
    if (result < 0 && first_ == 0) first_ = result;
  }
  int firstError() const { return first_; }

 private:
  int first_ = 0;
};

// Writes the items every firmware folder's settings begin with: "Dir Path" and "Qcn Path" (both
// `folder`), "CheckCFUN" and the two QCN size limits.
void putFolderSettings(IniDocument* doc, const std::string& folder, IniWrites& put);

// Writes `doc` to `file` (a path under Platform/, created when missing) unless a write into
// the document failed; returns the first failure or the store's write result.
int writePlatformIni(IniDocument* doc, const char* file, const IniWrites& writes);
