#include "station/platform_menu.h"

#include "station/main_panel.h"

const PlatformMenuItem* platformMenuItem(host::Control item) {
  for (const PlatformMenuItem& entry : kPlatformMenu) {
    if (entry.item == item) return &entry;
  }
  return nullptr;
}

const PlatformMenuItem* platformMenuItemOfType(PlatformType type) {
  for (const PlatformMenuItem& entry : kPlatformMenu) {
    if (entry.type == type) return &entry;
  }
  return nullptr;
}

CurrentPlatform platformFromCurrent(const std::string& current) {
  for (const PlatformMenuItem& entry : kPlatformMenu) {
    if (current == entry.currentName) return {entry.type, entry.item};
  }
  return {kQca9x15, std::nullopt};
}

void checkOnlyPlatformItem(std::optional<host::Control> item) {
  for (const PlatformMenuItem& entry : kPlatformMenu) {
    mainPanel().setChecked(entry.item, item && entry.item == *item);
  }
}
