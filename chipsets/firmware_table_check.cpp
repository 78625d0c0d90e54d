#include "chipsets/firmware_table_check.h"

#include "chipsets/firmware_files.h"

#include "host/colour.h"
#include "host/report.h"
#include "platform/text_format.h"

int checkFirmwareTable(host::FileTable& table, uint64_t& total) {
  for (int row = 1; row <= table.rowCount(); ++row) table.setColour(row, host::kGreen);
  for (int row = 2; row <= table.rowCount(); ++row) {
    const std::string path = table.path(row);
    if (isFirmwareFile(path)) {
      total += firmwareFileSize(path);
      continue;
    }
    table.setPath(row, "");
    table.setColour(row, host::kRed);
    MessagePopup("Error", formatText("can't find %s file.", path.c_str()));
    return -1;
  }
  return 0;
}

std::vector<std::string> markFirmwareRows(host::FileTable& table, bool clearMissing,
                                          uint64_t* total) {
  std::vector<std::string> missing;
  if (table.rowCount() >= 1) table.setColour(1, host::kGreen);
  for (int row = 2; row <= table.rowCount(); ++row) {
    const std::string path = table.path(row);
    if (isFirmwareFile(path)) {
      if (total) *total += firmwareFileSize(path);
      table.setColour(row, host::kGreen);
      continue;
    }
    missing.push_back(path);
    if (clearMissing) table.setPath(row, "");
    table.setColour(row, host::kRed);
  }
  return missing;
}
