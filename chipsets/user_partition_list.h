#pragma once
// The list of user partitions a streaming download writes, built from the lower rows of the
// firmware table: each row from the one labelled `firstLabel` to the last becomes an entry
// named "0:<label>" with the row's file.

#include <string>

#include "host/file_table.h"
#include "platform/qlib_api.h"

// The library reads a fixed layout: ten entries of a 10-byte name and a 256-byte path, then
// the number of entries used.
static_assert(sizeof(QLIB_UserPartitionEntry) == 266);
static_assert(sizeof(QLIB_UserPartitionList) == 10 * 266 + 4);

// Fills `list` (zeroed first). A table without a row labelled `firstLabel` gives an empty list.
// False, with `error` saying why, when there are more rows than entries or a name or path does
// not fit its field: a cut path would make the module take the wrong file.
bool buildUserPartitionList(const host::FileTable& table, const std::string& firstLabel,
                            QLIB_UserPartitionList& list, std::string& error);
