#pragma once
// The platform menu: its six items, the platform type of each, the name stored in cfg.ini
// "current", and the cfg.ini key that enables the item.

#include <optional>
#include <string>

#include "host/operator_surface.h"
#include "platform/platform.h"

struct PlatformMenuItem {
  host::Control item;
  PlatformType type;
  const char* currentName;  // value of "current" in section "Platform"
  const char* enablingKey;  // the item is dimmed while this key is off
};

// The items in menu order: Qca6270, Qca6695, Qca9206, Qca9x15, Qca9x07, Qca8909.
inline constexpr PlatformMenuItem kPlatformMenu[] = {
    {host::Control::Qca6270, kQca6270, "Qca_6270", "SupportHalvoE"},
    {host::Control::Qca6695, kQca6695, "Qca_6695", "SupportHalvoF"},
    {host::Control::Qca9206, kQca9206, "Qca_9206", "SupportHalvoA"},
    {host::Control::Qca9x15, kQca9x15, "Qca_9x15", "SupportHalvoB"},
    {host::Control::Qca9x07, kQca9x07, "Qca_9x07", "SupportHalvoC"},
    {host::Control::Qca8909, kQca8909, "Qca_8909", "SupportHalvoG"},
};

// The menu entry of an item; null when `item` is not a platform item.
const PlatformMenuItem* platformMenuItem(host::Control item);
// The menu entry of a type; null for Qca9x25, which has no item.
const PlatformMenuItem* platformMenuItemOfType(PlatformType type);

// The platform that cfg.ini's "current" names. Anything but the six item names (an empty
// text, "Qca_9x25", a misspelling) means Qca9x15 with no item checked.
struct CurrentPlatform {
  PlatformType type;
  std::optional<host::Control> checkedItem;
};
CurrentPlatform platformFromCurrent(const std::string& current);

// Removes the check mark from every platform item, then checks `item` (when given).
void checkOnlyPlatformItem(std::optional<host::Control> item);
