#include "chipsets/firmware_table_check.h"

#include <filesystem>
#include <system_error>

#include "host/colour.h"
#include "host/report.h"
#include "platform/text_format.h"

namespace {

bool isFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

uint64_t sizeOf(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

}  // namespace

int checkFirmwareTable(host::FileTable& table, uint64_t& total) {
  for (int row = 1; row <= table.rowCount(); ++row) table.setColour(row, host::kGreen);
  for (int row = 2; row <= table.rowCount(); ++row) {
    const std::string path = table.path(row);
    if (isFile(path)) {
      total += sizeOf(path);
      continue;
    }
    table.setPath(row, "");
    table.setColour(row, host::kRed);
    MessagePopup("Error", formatText("can't find %s file.", path.c_str()));
    return -1;
  }
  return 0;
}
