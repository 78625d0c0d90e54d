#pragma once
// The check a file list makes after it has filled the firmware table: every file it names must
// exist, and their sizes add up to the byte count that download progress is measured against.

#include <cstdint>
#include <string>
#include <vector>

#include "host/file_table.h"

// Colours every row green, then checks rows 2 to the last (row 1 is the firmware folder) in
// order and adds each file's size to `total`. At the first file that does not exist it clears
// the row's path, colours the row red, shows "can't find %s file." with the path in an "Error"
// box and returns -1. Returns 0 when every file exists.
int checkFirmwareTable(host::FileTable& table, uint64_t& total);

// Colours row 1 green and rows 2 to the last green when their file exists and red when not,
// without a box, going on past missing files; existing files' sizes add to `total` when it is
// given. With `clearMissing` the path cells of missing files are emptied. Returns the missing
// paths in row order.
std::vector<std::string> markFirmwareRows(host::FileTable& table, bool clearMissing,
                                          uint64_t* total);
