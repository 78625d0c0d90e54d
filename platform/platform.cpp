#include "platform/platform.h"

#include <atomic>
#include <new>

PlatformOps* pPlatforms = nullptr;

namespace {

std::atomic<PlatformRowSource> gRowSource{nullptr};

}  // namespace

PlatformOps* platfrom_create_instance(PlatformType type) {
  if (pPlatforms) return pPlatforms;
  if (type < 0 || type >= kPlatformTypeCount) return nullptr;
  PlatformRowSource source = gRowSource.load();
  const PlatformOps* row = source ? source(type) : nullptr;
  if (!row) return nullptr;
  PlatformOps* table = new (std::nothrow) PlatformOps(*row);
  if (!table) return nullptr;
  table->type = type;
  pPlatforms = table;
  return table;
}

void platform_dispose() {
  delete pPlatforms;
  pPlatforms = nullptr;
}

PlatformRowSource installPlatformRows(PlatformRowSource source) {
  return gRowSource.exchange(source);
}

PlatformRowSource platformRows() {
  return gRowSource.load();
}
