#include "sim/bench/nv_store.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>

#include "sim/bench/sha256.h"

namespace sim {
namespace {

constexpr char kQcnMagic[8] = {'Z', 'N', 'D', 'Q', 'C', 'N', '0', '1'};
constexpr char kEfsMagic[8] = {'Z', 'N', 'D', 'E', 'F', 'S', '0', '1'};
constexpr size_t kImeiField = 16;
constexpr int kCalibratedItemCount = 2000;

void putU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void putU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Reads little-endian values from a byte string, refusing to run past its end.
class Reader {
 public:
  explicit Reader(const std::string& bytes, size_t at = 0) : bytes_(bytes), at_(at) {}
  bool u16(uint16_t& v) {
    if (at_ + 2 > bytes_.size()) return false;
    v = static_cast<uint16_t>(byte(at_) | (byte(at_ + 1) << 8));
    at_ += 2;
    return true;
  }
  bool u32(uint32_t& v) {
    if (at_ + 4 > bytes_.size()) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte(at_ + i)) << (8 * i);
    at_ += 4;
    return true;
  }
  bool take(size_t n, std::vector<uint8_t>& out) {
    if (at_ + n > bytes_.size()) return false;
    out.assign(bytes_.begin() + static_cast<long>(at_),
               bytes_.begin() + static_cast<long>(at_ + n));
    at_ += n;
    return true;
  }

 private:
  unsigned byte(size_t i) const { return static_cast<uint8_t>(bytes_[i]); }
  const std::string& bytes_;
  size_t at_;
};

std::string encodeItems(const NvItems& items) {
  std::string out;
  putU32(out, static_cast<uint32_t>(items.size()));
  for (const auto& [id, data] : items) {
    putU16(out, id);
    putU16(out, static_cast<uint16_t>(data.size()));
    out.append(reinterpret_cast<const char*>(data.data()), data.size());
  }
  return out;
}

bool decodeItems(Reader& reader, NvItems& items) {
  uint32_t count = 0;
  if (!reader.u32(count) || count > 65536) return false;
  items.clear();
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t id = 0, length = 0;
    std::vector<uint8_t> data;
    if (!reader.u16(id) || !reader.u16(length) || length > kNvItemMaxSize) return false;
    if (!reader.take(length, data)) return false;
    items[id] = std::move(data);
  }
  return true;
}

std::string hex(const std::vector<uint8_t>& data) {
  std::string out;
  char digits[3];
  for (uint8_t b : data) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

bool unhex(const std::string& text, std::vector<uint8_t>& out) {
  if (text.size() % 2 != 0 || text.size() / 2 > kNvItemMaxSize) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + i, "%2x", &value) != 1) return false;
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return false;
    }
    out.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

// The value of attribute `name` in the element text `element`, or false.
bool attribute(const std::string& element, const char* name, std::string& value) {
  const std::string key = std::string(" ") + name + "=\"";
  const size_t at = element.find(key);
  if (at == std::string::npos) return false;
  const size_t start = at + key.size();
  const size_t end = element.find('"', start);
  if (end == std::string::npos) return false;
  value = element.substr(start, end - start);
  return true;
}

bool decodeXqcn(const std::string& contents, NvItems& items, std::string& imei,
                std::string& error) {
  const size_t root = contents.find("<NvBackup ");
  const size_t rootEnd = root == std::string::npos ? root : contents.find('>', root);
  const size_t close = contents.find("</NvBackup>");
  if (rootEnd == std::string::npos || close == std::string::npos || close < rootEnd) {
    error = "not a complete XQCN backup";
    return false;
  }
  std::string count;
  if (!attribute(contents.substr(root, rootEnd - root), "imei", imei) ||
      !attribute(contents.substr(root, rootEnd - root), "items", count)) {
    error = "XQCN backup without identity";
    return false;
  }
  items.clear();
  size_t at = rootEnd;
  while ((at = contents.find("<NvItem ", at)) != std::string::npos && at < close) {
    const size_t end = contents.find("/>", at);
    if (end == std::string::npos || end > close) break;
    const std::string element = contents.substr(at, end - at);
    std::string id, data;
    std::vector<uint8_t> bytes;
    if (!attribute(element, "id", id) || !attribute(element, "data", data) || id.empty() ||
        id.size() > 5 || id.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(id) > 0xFFFF || !unhex(data, bytes)) {
      error = "XQCN item unreadable";
      return false;
    }
    items[static_cast<uint16_t>(std::stoul(id))] = std::move(bytes);
    at = end;
  }
  if (std::to_string(items.size()) != count) {
    error = "XQCN backup is incomplete";
    return false;
  }
  return true;
}

}  // namespace

NvItems makeCalibratedItems(const std::string& seed) {
  std::seed_seq sequence(seed.begin(), seed.end());
  std::mt19937 random(sequence);
  NvItems items = makeFactoryItems();
  std::uniform_int_distribution<int> size(1, static_cast<int>(kNvItemMaxSize));
  std::uniform_int_distribution<int> byte(0, 255);
  uint16_t id = 1000;
  for (int i = 0; i < kCalibratedItemCount; ++i) {
    id = static_cast<uint16_t>(id + 1 + random() % 7);
    std::vector<uint8_t> data(static_cast<size_t>(size(random)));
    for (uint8_t& b : data) b = static_cast<uint8_t>(byte(random));
    items[id] = std::move(data);
  }
  return items;
}

NvItems makeFactoryItems() {
  NvItems items;
  items[kNvFtmModeItem] = {0};
  items[10] = {0x01};    // preferred mode
  items[3628] = {0x01};  // two USB configuration items the station clears
  items[3629] = {0x01};
  return items;
}

std::string nvDigest(const NvItems& items) {
  Sha256 hash;
  for (const auto& [id, data] : items) {
    uint8_t header[4] = {static_cast<uint8_t>(id & 0xFF), static_cast<uint8_t>(id >> 8),
                         static_cast<uint8_t>(data.size() & 0xFF),
                         static_cast<uint8_t>(data.size() >> 8)};
    hash.update(header, sizeof header);
    hash.update(data.data(), data.size());
  }
  return hash.hexDigest();
}

std::string encodeQcn(const NvItems& items, const std::string& imei, QcnForm form) {
  if (form == QcnForm::kQcn) {
    std::string out(kQcnMagic, sizeof kQcnMagic);
    std::string field = imei.substr(0, kImeiField - 1);
    field.resize(kImeiField, '\0');
    out += field;
    out += encodeItems(items);
    return out;
  }
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<NvBackup imei=\"" + imei + "\" items=\"" + std::to_string(items.size()) + "\">\n";
  for (const auto& [id, data] : items) {
    out += "  <NvItem id=\"" + std::to_string(id) + "\" data=\"" + hex(data) + "\"/>\n";
  }
  out += "</NvBackup>\n";
  return out;
}

bool decodeQcn(const std::string& contents, NvItems& items, std::string& imei, std::string& error) {
  if (contents.size() >= sizeof kQcnMagic &&
      std::memcmp(contents.data(), kQcnMagic, sizeof kQcnMagic) == 0) {
    if (contents.size() < sizeof kQcnMagic + kImeiField) {
      error = "QCN backup is incomplete";
      return false;
    }
    imei = contents.substr(sizeof kQcnMagic, kImeiField).c_str();
    Reader reader(contents, sizeof kQcnMagic + kImeiField);
    if (!decodeItems(reader, items)) {
      error = "QCN backup is incomplete";
      return false;
    }
    return true;
  }
  if (contents.find("<NvBackup ") != std::string::npos) {
    return decodeXqcn(contents, items, imei, error);
  }
  error = "not a QCN or XQCN backup";
  return false;
}

std::string encodeEfsImage(const NvItems& items) {
  return std::string(kEfsMagic, sizeof kEfsMagic) + encodeItems(items);
}

bool decodeEfsImage(const std::string& contents, NvItems& items) {
  if (contents.size() < sizeof kEfsMagic ||
      std::memcmp(contents.data(), kEfsMagic, sizeof kEfsMagic) != 0) {
    return false;
  }
  Reader reader(contents, sizeof kEfsMagic);
  return decodeItems(reader, items);
}

}  // namespace sim
