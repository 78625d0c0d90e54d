// Wexley: one object bound to one INI file path, with operations to list, read, write, delete
// and rename sections and keys. Every operation reads or writes the file at once; the object
// keeps no parsed copy.
//
//   IWexley* ini = nullptr;
//   if (CreateObject(CLSID_Wexley, IID_IWexley, reinterpret_cast<void**>(&ini))) {
//     ini->SetFilePath("station.ini");
//     ini->WriteValue("Line", "Name", "A3");
//     std::string name = ini->GetValue("Line", "Name");
//     ini->Release();
//   }
//
// Section and key names compare without regard to ASCII letter case. Strings are UTF-8. Reads
// throw std::runtime_error: "内存分配不足." when a result does not fit the 32767-character read
// buffer, and "解析初始化文件\"<path>\"失败." when GetSectionNames finds no section (the file is
// missing, empty or unreadable). Writes report failure only through their result; each write
// replaces the file atomically, so a crash leaves either the old or the new file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "zendral/com.h"

inline constexpr GUID CLSID_Wexley = {
    0x873C59D5, 0xE75F, 0x4488, {0xA3, 0xEE, 0xC4, 0x8B, 0x8B, 0x57, 0x36, 0xD1}};
inline constexpr GUID IID_IWexley = {
    0x1B86DCBA, 0xA70C, 0x45C9, {0xAE, 0xF1, 0x89, 0x70, 0x38, 0x08, 0x8C, 0xFD}};

// Table slots 3-15, in this order.
struct IWexley : IUnknown {
  virtual const std::string& GetFilePath() = 0;
  virtual const std::string& SetFilePath(const std::string& path) = 0;
  // Every section name in file order, each padded with NUL characters to exactly 256 characters
  // (a longer name is cut to 256).
  virtual std::vector<std::string> GetSectionNames() = 0;
  // The section's lines split at their first '=', in file order; empty for a missing section.
  virtual std::vector<std::pair<std::string, std::string>> GetSection(
      const std::string& section) = 0;
  virtual std::vector<std::string> GetKeys(const std::string& section) = 0;
  // The value with one pair of surrounding quotes removed; empty when the key is missing.
  virtual std::string GetValue(const std::string& section, const std::string& key) = 0;
  // Replaces the section's body with "key=value" lines (creating the section if needed).
  virtual bool WriteSection(const std::string& section,
                            const std::vector<std::pair<std::string, std::string>>& pairs) = 0;
  virtual bool WriteValue(const std::string& section, const std::string& key,
                          const std::string& value) = 0;
  virtual bool DeleteKey(const std::string& section, const std::string& key) = 0;
  virtual bool DeleteSection(const std::string& section) = 0;
  // Empties the section's body and keeps its header.
  virtual bool ClearSection(const std::string& section) = 0;
  // Creates an empty file at the path, or empties the existing one.
  virtual bool CreateIniFile() = 0;
  // Writes the old section's lines under the new name, then deletes the old section; a refused
  // write deletes nothing.
  virtual bool RenameSection(const std::string& oldName, const std::string& newName) = 0;

 protected:
  ~IWexley() = default;
};

// Hands out a new object for CLSID_Wexley: true when the object answers `iid` (IID_IWexley or
// IID_IUnknown), with the interface stored in `out` and its count at one. Another class id
// returns false and leaves `out` untouched; an unknown interface id returns false with `out` null.
extern "C" bool CreateObject(const GUID& clsid, const GUID& iid, void** out);
