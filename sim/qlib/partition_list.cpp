// The user partition list in the layout of this build: the long-name build (loaded for
// firmware whose partition names do not fit 10 bytes) reads QLIB_LongUserPartitionList.

#include <cstring>

#include "sim/qlib/streaming.h"

namespace simqlib {
namespace {

template <typename List>
bool readList(const List& list, std::vector<StreamImage>& images) {
  constexpr size_t kCapacity = sizeof list.entries / sizeof list.entries[0];
  if (list.count > kCapacity) return false;
  images.clear();
  for (unsigned i = 0; i < list.count; ++i) {
    const auto& entry = list.entries[i];
    const size_t nameLength = strnlen(entry.name, sizeof entry.name);
    const size_t pathLength = strnlen(entry.path, sizeof entry.path);
    if (nameLength == sizeof entry.name || pathLength == sizeof entry.path) return false;
    if (nameLength == 0 || pathLength == 0) return false;
    images.push_back({std::string(entry.name, nameLength), std::string(entry.path, pathLength)});
  }
  return true;
}

}  // namespace

bool readUserPartitionList(const void* list, std::vector<StreamImage>& images) {
  if (!list) return false;
#ifdef ZENDRAL_QLIB_LONG_NAMES
  return readList(*static_cast<const QLIB_LongUserPartitionList*>(list), images);
#else
  return readList(*static_cast<const QLIB_UserPartitionList*>(list), images);
#endif
}

}  // namespace simqlib
