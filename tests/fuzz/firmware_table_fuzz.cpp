// The firmware table checks and the user partition lists built from it. Rows come from the
// fuzzer as "label\tpath" records (the first record is the label the list starts at); paths
// that name an existing file make it into the lists. Whatever the rows hold, a list is either
// refused with a reason or holds exactly the rows it was given, each terminated in its field.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chipsets/firmware_table_check.h"
#include "chipsets/user_partition_list.h"
#include "fuzz_support.h"
#include "host/file_table.h"

namespace {

template <typename List>
void checkList(const List& list, size_t given) {
  if (static_cast<size_t>(list.count) != given) {
    fuzz::fail("an accepted list does not hold every row");
  }
  for (const auto& entry : list.entries) {
    if (!std::memchr(entry.name, '\0', sizeof entry.name) ||
        !std::memchr(entry.path, '\0', sizeof entry.path)) {
      fuzz::fail("a list entry is not terminated");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("firmware_table");
  fuzz::writeFile(fuzz::workFolder() + "/fw/sbl1.mbn", "sbl1");
  fuzz::writeFile(fuzz::workFolder() + "/fw/tz.mbn", "tz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto records = fuzz::records(data, size, 40);
  const std::string firstLabel(records[0]);
  host::FileTable table;
  table.setPath(1, fuzz::workFolder() + "/fw");
  std::vector<UserPartition> partitions;
  for (size_t i = 1; i < records.size(); ++i) {
    const std::string_view record = records[i];
    const size_t tab = record.find('\t');
    const std::string label(record.substr(0, tab));
    const std::string path(tab == std::string_view::npos ? "" : record.substr(tab + 1));
    table.appendRow(label, path);
    partitions.push_back({"0:" + label, path});
  }

  std::string error;
  QLIB_UserPartitionList shortList;
  if (buildUserPartitionList(table, firstLabel, shortList, error)) {
    if (shortList.count > 10) fuzz::fail("a short list holds more than ten entries");
  }
  if (buildUserPartitionList(partitions, shortList, error)) checkList(shortList, partitions.size());
  auto longList = std::make_unique<QLIB_LongUserPartitionList>();
  if (buildUserPartitionList(partitions, *longList, error)) checkList(*longList, partitions.size());
  fitsShortUserPartitionList(partitions);

  uint64_t total = 0;
  host::FileTable marked = table;
  markFirmwareRows(marked, true, &total);
  checkFirmwareTable(table, total);
  return 0;
}
