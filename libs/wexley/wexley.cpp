// The Wexley object: the operations of IWexley over the profile service, and the factory.

#include "zendral/wexley.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "profile.h"
#include "profile_document.h"

namespace wexley {
namespace {

// Every read goes through a buffer of this many characters.
constexpr uint32_t kBufferSize = 0x7FFF;
// Each listed section name is padded with NULs (or cut) to this many characters.
constexpr size_t kSectionNameWidth = 256;

[[noreturn]] void throwOutOfMemory() {
  throw std::runtime_error("内存分配不足.");
}

[[noreturn]] void throwParseFailure(const std::string& path) {
  throw std::runtime_error("解析初始化文件\"" + path + "\"失败.");
}

// The strings of a NUL-separated list that ends with an empty string.
std::vector<std::string> splitList(const std::vector<char>& buffer) {
  std::vector<std::string> items;
  for (const char* item = buffer.data(); *item != '\0'; item += std::strlen(item) + 1) {
    items.emplace_back(item);
  }
  return items;
}

class CWexley final : public IWexley {
 public:
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (out == nullptr) return E_NOINTERFACE;
    if (!(iid == IID_IUnknown) && !(iid == IID_IWexley)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IWexley*>(this);
    AddRef();
    return S_OK;
  }

  int32_t AddRef() override { return ++count_; }

  int32_t Release() override {
    int32_t count = --count_;
    if (count == 0) delete this;
    return count;
  }

  const std::string& GetFilePath() override { return path_; }

  const std::string& SetFilePath(const std::string& path) override {
    path_ = path;
    return path_;
  }

  std::vector<std::string> GetSectionNames() override {
    std::vector<char> buffer(kBufferSize, '\0');
    uint32_t length = profile::readSectionNames(buffer.data(), kBufferSize - 1, path_);
    if (length + 3 == kBufferSize) throwOutOfMemory();
    if (length == 0) throwParseFailure(path_);
    std::vector<std::string> names = splitList(buffer);
    for (std::string& name : names) name.resize(kSectionNameWidth, '\0');
    return names;
  }

  std::vector<std::pair<std::string, std::string>> GetSection(const std::string& section) override {
    std::vector<char> buffer(kBufferSize, '\0');
    uint32_t length = profile::readSection(section, buffer.data(), kBufferSize, path_);
    if (length == kBufferSize - 2) throwOutOfMemory();
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& line : splitList(buffer)) {
      size_t equals = line.find('=');
      if (equals == std::string::npos) {
        pairs.emplace_back(line, "");
      } else {
        pairs.emplace_back(line.substr(0, equals), line.substr(equals + 1));
      }
    }
    return pairs;
  }

  // A cut key list or value would be taken for the whole one, so both fail like a cut section.
  std::vector<std::string> GetKeys(const std::string& section) override {
    std::vector<char> buffer(kBufferSize, '\0');
    uint32_t length =
        profile::readString(section, std::nullopt, "", buffer.data(), kBufferSize - 1, path_);
    if (length + 3 == kBufferSize) throwOutOfMemory();
    return splitList(buffer);
  }

  std::string GetValue(const std::string& section, const std::string& key) override {
    std::vector<char> buffer(kBufferSize, '\0');
    uint32_t length = profile::readString(section, key, "", buffer.data(), kBufferSize - 1, path_);
    if (length + 2 == kBufferSize) throwOutOfMemory();
    return std::string(buffer.data(), length);
  }

  bool WriteSection(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& pairs) override {
    std::vector<char> buffer(kBufferSize, '\0');
    size_t used = 0;
    for (const auto& [key, value] : pairs) {
      std::string entry = key + "=" + value;
      // The entry, its NUL and the NUL that ends the content must fit.
      if (entry.find('\0') != std::string::npos || used + entry.size() + 2 > kBufferSize) {
        return false;
      }
      std::memcpy(buffer.data() + used, entry.data(), entry.size());
      used += entry.size() + 1;
    }
    return profile::writeSection(section, buffer.data(), path_);
  }

  bool WriteValue(const std::string& section, const std::string& key,
                  const std::string& value) override {
    return profile::writeString(section, key, value, path_);
  }

  bool DeleteKey(const std::string& section, const std::string& key) override {
    return profile::writeString(section, key, std::nullopt, path_);
  }

  bool DeleteSection(const std::string& section) override {
    return profile::writeString(section, std::nullopt, std::nullopt, path_);
  }

  bool ClearSection(const std::string& section) override {
    return profile::writeSection(section, nullptr, path_);
  }

  bool CreateIniFile() override {
    // Non-blocking, so that a pipe without a reader fails instead of hanging.
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }

  // The new section is written before the old one is deleted, so a refused or interrupted
  // write never loses the section. A rename to the same name (lookups ignore case) has nothing
  // to move: deleting "the old one" would delete the only one.
  bool RenameSection(const std::string& oldName, const std::string& newName) override {
    if (sameName(oldName, newName)) return true;
    std::vector<std::pair<std::string, std::string>> pairs;
    try {
      pairs = GetSection(oldName);
    } catch (const std::runtime_error&) {
      return false;
    }
    return WriteSection(newName, pairs) && DeleteSection(oldName);
  }

 private:
  int32_t count_ = 0;
  std::string path_;
};

}  // namespace
}  // namespace wexley

extern "C" __attribute__((visibility("default"))) bool CreateObject(const GUID& clsid,
                                                                    const GUID& iid, void** out) {
  if (!(clsid == CLSID_Wexley) || out == nullptr) return false;
  auto* object = new wexley::CWexley();
  if (object->QueryInterface(iid, out) == S_OK) return true;
  delete object;
  return false;
}
