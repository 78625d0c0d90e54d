#include "chipsets/user_partition_list.h"

#include <cstring>

namespace {

template <typename List>
constexpr size_t capacityOf() {
  return sizeof(List::entries) / sizeof(List::entries[0]);
}

int firstRowLabelled(const host::FileTable& table, const std::string& label) {
  for (int row = 1; row <= table.rowCount(); ++row) {
    if (table.label(row) == label) return row;
  }
  return 0;
}

template <size_t N>
bool fits(const char (&)[N], const std::string& text) {
  return text.size() < N;
}

// Copies `text` with its terminator; false when it does not fit.
template <size_t N>
bool copyField(char (&field)[N], const std::string& text) {
  if (!fits(field, text)) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

template <typename List>
bool fillList(const std::vector<UserPartition>& partitions, List& list, std::string& error) {
  constexpr size_t kEntryCapacity = capacityOf<List>();
  for (const UserPartition& partition : partitions) {
    if (list.count == kEntryCapacity) {
      error = "The download list holds at most " + std::to_string(kEntryCapacity) + " files.";
      return false;
    }
    auto& entry = list.entries[list.count];
    if (!copyField(entry.name, partition.name)) {
      error = "The partition name " + partition.name + " is too long for the download list.";
      return false;
    }
    if (!copyField(entry.path, partition.path)) {
      error = "The path " + partition.path + " is too long for the download list.";
      return false;
    }
    ++list.count;
  }
  return true;
}

template <typename List>
bool buildList(const std::vector<UserPartition>& partitions, List& list, std::string& error) {
  std::memset(&list, 0, sizeof list);
  if (fillList(partitions, list, error)) return true;
  // A list that stopped part-way must not be taken for a short firmware.
  std::memset(&list, 0, sizeof list);
  return false;
}

}  // namespace

bool buildUserPartitionList(const std::vector<UserPartition>& partitions,
                            QLIB_UserPartitionList& list, std::string& error) {
  return buildList(partitions, list, error);
}

bool buildUserPartitionList(const std::vector<UserPartition>& partitions,
                            QLIB_LongUserPartitionList& list, std::string& error) {
  return buildList(partitions, list, error);
}

bool buildUserPartitionList(const host::FileTable& table, const std::string& firstLabel,
                            QLIB_UserPartitionList& list, std::string& error) {
  std::vector<UserPartition> partitions;
  if (const int first = firstRowLabelled(table, firstLabel); first != 0) {
    for (int row = first; row <= table.rowCount(); ++row) {
      partitions.push_back({"0:" + table.label(row), table.path(row)});
    }
  }
  return buildUserPartitionList(partitions, list, error);
}

bool fitsShortUserPartitionList(const std::vector<UserPartition>& partitions) {
  if (partitions.size() > capacityOf<QLIB_UserPartitionList>()) return false;
  const QLIB_UserPartitionEntry entry{};
  for (const UserPartition& partition : partitions) {
    if (!fits(entry.name, partition.name) || !fits(entry.path, partition.path)) return false;
  }
  return true;
}
