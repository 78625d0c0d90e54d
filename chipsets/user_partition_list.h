#pragma once
// The list of user partitions a streaming download writes, built from the lower rows of the
// firmware table: each row from the one labelled `firstLabel` to the last becomes an entry
// named "0:<label>" with the row's file.

#include <cstddef>
#include <string>
#include <vector>

#include "host/file_table.h"
#include "platform/qlib_api.h"

// The library reads a fixed layout: ten entries of a 10-byte name and a 256-byte path, then
// the number of entries used.
static_assert(sizeof(QLIB_UserPartitionEntry) == 266);
static_assert(sizeof(QLIB_UserPartitionList) == 10 * 266 + 4);
// Its long-name build reads fifteen entries of a 129-byte name and a 256-byte path, then (after
// one byte of padding) the number of entries used.
static_assert(sizeof(QLIB_LongUserPartitionEntry) == 385);
static_assert(offsetof(QLIB_LongUserPartitionList, count) == 15 * 385 + 1);
static_assert(sizeof(QLIB_LongUserPartitionList) == 15 * 385 + 1 + 4);

// Fills `list` (zeroed first). A table without a row labelled `firstLabel` gives an empty list.
// False, with `error` saying why, when there are more rows than entries or a name or path does
// not fit its field: a cut path would make the module take the wrong file.
bool buildUserPartitionList(const host::FileTable& table, const std::string& firstLabel,
                            QLIB_UserPartitionList& list, std::string& error);

// One entry: the partition name ("0:SBL1") and its file.
struct UserPartition {
  std::string name;
  std::string path;
};

// Fills `list` (zeroed first) with `partitions` in order, with the same checks.
bool buildUserPartitionList(const std::vector<UserPartition>& partitions,
                            QLIB_UserPartitionList& list, std::string& error);
bool buildUserPartitionList(const std::vector<UserPartition>& partitions,
                            QLIB_LongUserPartitionList& list, std::string& error);

// Whether the short layout holds every entry: at most ten, each name within 10 bytes with its
// terminator (and each path within its field).
bool fitsShortUserPartitionList(const std::vector<UserPartition>& partitions);
