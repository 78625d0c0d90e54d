#include "chipsets/user_partition_list.h"

#include <cstring>

namespace {

constexpr size_t kEntryCapacity =
    sizeof(QLIB_UserPartitionList::entries) / sizeof(QLIB_UserPartitionList::entries[0]);

int firstRowLabelled(const host::FileTable& table, const std::string& label) {
  for (int row = 1; row <= table.rowCount(); ++row) {
    if (table.label(row) == label) return row;
  }
  return 0;
}

// Copies `text` with its terminator; false when it does not fit.
template <size_t N>
bool copyField(char (&field)[N], const std::string& text) {
  if (text.size() >= N) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

bool fillList(const host::FileTable& table, const std::string& firstLabel,
              QLIB_UserPartitionList& list, std::string& error) {
  const int first = firstRowLabelled(table, firstLabel);
  if (first == 0) return true;
  for (int row = first; row <= table.rowCount(); ++row) {
    if (list.count == kEntryCapacity) {
      error = "The download list holds at most " + std::to_string(kEntryCapacity) + " files.";
      return false;
    }
    QLIB_UserPartitionEntry& entry = list.entries[list.count];
    const std::string name = "0:" + table.label(row);
    if (!copyField(entry.name, name)) {
      error = "The partition name " + name + " is too long for the download list.";
      return false;
    }
    if (!copyField(entry.path, table.path(row))) {
      error = "The path " + table.path(row) + " is too long for the download list.";
      return false;
    }
    ++list.count;
  }
  return true;
}

}  // namespace

bool buildUserPartitionList(const host::FileTable& table, const std::string& firstLabel,
                            QLIB_UserPartitionList& list, std::string& error) {
  std::memset(&list, 0, sizeof list);
  if (fillList(table, firstLabel, list, error)) return true;
  // A list that stopped part-way must not be taken for a short firmware.
  std::memset(&list, 0, sizeof list);
  return false;
}
