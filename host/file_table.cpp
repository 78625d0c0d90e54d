#include "host/file_table.h"

namespace host {

FileTable::FileTable() {
  rows_.push_back(FileRow{});
}

std::string FileTable::path(int row) const {
  return hasRow(row) ? rows_[row - 1].path : "";
}

std::string FileTable::label(int row) const {
  return hasRow(row) ? rows_[row - 1].label : "";
}

bool FileTable::setPath(int row, const std::string& path) {
  if (!hasRow(row)) return false;
  rows_[row - 1].path = path;
  return true;
}

bool FileTable::setColour(int row, std::optional<Rgb> colour) {
  if (!hasRow(row)) return false;
  rows_[row - 1].colour = colour;
  return true;
}

void FileTable::clear() {
  rows_.clear();
}

int FileTable::appendRow(const std::string& label, const std::string& path) {
  rows_.push_back(FileRow{label, path, std::nullopt});
  return rowCount();
}

}  // namespace host
