// The line PC's udev rules: every line is a rule udev can read, and the rules grant access to
// exactly the devices the station opens (the fastboot interface and the modules' serial ports).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "host/udev_device_directory.h"
#include "station/port_names.h"

namespace {

// One key of a rule: `name{attribute} operator "value"`.
struct RuleKey {
  std::string name;
  std::string op;
  std::string value;
};
using Rule = std::vector<RuleKey>;

// Splits a rule line into its keys; false (with `why`) when a key does not read as udev's.
bool parseRule(const std::string& line, Rule& rule, std::string& why) {
  static const std::regex kKey(
      R"re(\s*([A-Z_]+(\{[A-Za-z0-9_.-]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*)re");
  static const std::vector<std::string> kMatchOnly = {"ACTION", "SUBSYSTEM", "SUBSYSTEMS",
                                                      "KERNEL", "KERNELS",   "DRIVERS"};
  static const std::vector<std::string> kAssignOnly = {"MODE", "GROUP", "OWNER",
                                                       "TAG",  "GOTO",  "LABEL"};
  std::stringstream keys(line);
  for (std::string text; std::getline(keys, text, ',');) {
    std::smatch m;
    if (!std::regex_match(text, m, kKey)) {
      why = "not a key: '" + text + "'";
      return false;
    }
    RuleKey key{m[1], m[3], m[4]};
    std::string base = key.name.substr(0, key.name.find('{'));
    bool match = key.op == "==" || key.op == "!=";
    bool known = std::find(kMatchOnly.begin(), kMatchOnly.end(), base) != kMatchOnly.end() ||
                 std::find(kAssignOnly.begin(), kAssignOnly.end(), base) != kAssignOnly.end() ||
                 base == "ATTR" || base == "ATTRS" || base == "ENV";
    if (!known) {
      why = "unknown key " + base;
      return false;
    }
    if (match && std::find(kAssignOnly.begin(), kAssignOnly.end(), base) != kAssignOnly.end()) {
      why = base + " cannot be compared";
      return false;
    }
    if (!match && std::find(kMatchOnly.begin(), kMatchOnly.end(), base) != kMatchOnly.end()) {
      why = base + " cannot be assigned";
      return false;
    }
    rule.push_back(key);
  }
  return !rule.empty();
}

std::vector<Rule> readRules() {
  std::ifstream file(ZENDRAL_UDEV_RULES);
  EXPECT_TRUE(file) << ZENDRAL_UDEV_RULES;
  std::vector<Rule> rules;
  int number = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    Rule rule;
    std::string why;
    EXPECT_TRUE(parseRule(line, rule, why)) << "line " << number << ": " << why;
    rules.push_back(rule);
  }
  return rules;
}

std::string keyValue(const Rule& rule, const std::string& name, const std::string& op) {
  for (const RuleKey& key : rule) {
    if (key.name == name && key.op == op) return key.value;
  }
  return {};
}

// The rule granting access to devices of `subsystem` with this vendor (and product, if given).
const Rule* accessRule(const std::vector<Rule>& rules, const std::string& subsystem,
                       const std::string& attr, const std::string& vendor,
                       const std::string& product = {}) {
  for (const Rule& rule : rules) {
    if (keyValue(rule, "SUBSYSTEM", "==") != subsystem) continue;
    if (keyValue(rule, attr + "{idVendor}", "==") != vendor) continue;
    if (!product.empty() && keyValue(rule, attr + "{idProduct}", "==") != product) continue;
    return &rule;
  }
  return nullptr;
}

void expectSeatAndGroupAccess(const Rule* rule) {
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(keyValue(*rule, "TAG", "+="), "uaccess");
  EXPECT_EQ(keyValue(*rule, "GROUP", "="), "plugdev");
  EXPECT_EQ(keyValue(*rule, "MODE", "="), "0660");
}

std::string hex4(uint16_t id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id);
  return text;
}

TEST(UdevRules, EveryLineReadsAsARuleAndJumpsLandOnALabel) {
  std::vector<Rule> rules = readRules();
  ASSERT_FALSE(rules.empty());
  std::vector<std::string> labels, jumps;
  for (const Rule& rule : rules) {
    if (std::string label = keyValue(rule, "LABEL", "="); !label.empty()) labels.push_back(label);
    if (std::string jump = keyValue(rule, "GOTO", "="); !jump.empty()) jumps.push_back(jump);
  }
  for (const std::string& jump : jumps) {
    EXPECT_NE(std::find(labels.begin(), labels.end(), jump), labels.end()) << jump;
  }
  // Where the installed udev can check rules itself, it must agree.
  if (std::system("udevadm verify --help >/dev/null 2>&1") == 0) {
    std::string command = std::string("udevadm verify --no-summary '") + ZENDRAL_UDEV_RULES + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

TEST(UdevRules, GrantTheSeatAndPlugdevTheDevicesTheStationOpens) {
  std::vector<Rule> rules = readRules();
  expectSeatAndGroupAccess(
      accessRule(rules, "usb", "ATTR", hex4(kFastbootVendorId), hex4(kFastbootProductId)));
  // The serial ports the device directory names as module ports are those of this vendor.
  const uint16_t moduleVendor = 0x05c6;
  ASSERT_FALSE(host::usbPortRoleName(moduleVendor, 0x9091, 0).empty());
  ASSERT_FALSE(host::usbPortRoleName(moduleVendor, 0x9008, 0).empty());
  expectSeatAndGroupAccess(accessRule(rules, "tty", "ATTRS", hex4(moduleVendor)));
}

}  // namespace
