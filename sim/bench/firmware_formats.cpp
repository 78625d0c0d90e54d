#include "sim/bench/firmware_formats.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "sim/bench/sha256.h"

namespace sim {
namespace {

const char kProgrammerMagic[] = "ZPRG1";
const char kTableMagic[] = "ZPARTITIONS1";

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::optional<std::string> programmerKindOf(const std::string& fileName) {
  const std::string name = lower(fileName);
  if (name.rfind("enprg", 0) == 0) return "emergency";
  if (name.rfind("nprg", 0) == 0) return "normal";
  if (name.find("firehose") != std::string::npos) return "firehose";
  return std::nullopt;
}

std::string programmerHeader(const std::string& kind, const std::string& platform,
                             const std::string& body) {
  return std::string(kProgrammerMagic) + " " + kind + " " + platform + " " + sha256Hex(body) + "\n";
}

ProgrammerCheck checkProgrammer(const std::string& contents) {
  ProgrammerCheck check;
  const size_t end = contents.find('\n');
  if (end == std::string::npos || end > 200) return check;
  std::istringstream header(contents.substr(0, end));
  std::string magic, digest;
  if (!(header >> magic >> check.kind >> check.platform >> digest) || magic != kProgrammerMagic) {
    return check;
  }
  check.valid = digest == sha256Hex(contents.data() + end + 1, contents.size() - end - 1);
  return check;
}

std::string partitionTableText(const std::set<std::string>& names) {
  std::string text = std::string(kTableMagic) + "\n";
  for (const std::string& name : names) text += name + "\n";
  return text;
}

std::optional<std::set<std::string>> readPartitionTable(const std::string& contents) {
  std::istringstream lines(contents);
  std::string line;
  if (!std::getline(lines, line) || line != kTableMagic) return std::nullopt;
  std::set<std::string> names;
  while (std::getline(lines, line)) {
    if (!line.empty()) names.insert(partitionKey(line));
  }
  return names;
}

bool readFileUpTo(const std::string& path, std::string& contents, uint64_t limit) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  contents = buffer.str();
  return contents.size() <= limit;
}

std::string partitionKey(const std::string& name) {
  std::string key = lower(name);
  if (key.rfind("0:", 0) == 0) key.erase(0, 2);
  return key;
}

}  // namespace sim
