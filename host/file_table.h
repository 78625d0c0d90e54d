#pragma once
// The firmware table of the file panel. Row 1 holds the firmware folder; the rows after it the
// files of the platform's file list. Each row has a label, a path (column 1; column 2 is the
// cell the operator clicks to choose the entry) and a cell colour once a check has coloured it.
// Rows are numbered from 1. Used on the UI thread only.

#include <optional>
#include <string>
#include <vector>

#include "host/colour.h"

namespace host {

struct FileRow {
  std::string label;
  std::string path;
  std::optional<Rgb> colour;
  bool operator==(const FileRow&) const = default;
};

class FileTable {
 public:
  // A fresh table has row 1 (the folder) with an empty path.
  FileTable();

  int rowCount() const { return static_cast<int>(rows_.size()); }
  bool hasRow(int row) const { return row >= 1 && row <= rowCount(); }

  // Text of a row's path cell; empty for a row that does not exist.
  std::string path(int row) const;
  std::string label(int row) const;
  // Changes an existing row; returns false for a row that does not exist.
  bool setPath(int row, const std::string& path);
  bool setColour(int row, std::optional<Rgb> colour);

  // Removes every row (a load then inserts its own rows, row 1 first).
  void clear();
  // Appends a row at the end; returns its number.
  int appendRow(const std::string& label, const std::string& path);

  const std::vector<FileRow>& rows() const { return rows_; }

 private:
  std::vector<FileRow> rows_;
};

}  // namespace host
