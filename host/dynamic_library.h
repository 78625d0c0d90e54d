#pragma once
// A shared library loaded at run time. A bare file name is looked for in the helper folders
// (host::findHelperFile) first, then by the system loader's own search; a name with "/" is used as
// it stands.

#include <string>

namespace host {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  ~DynamicLibrary();

  // Loads `name` (resolving every symbol now); closes what was loaded before. Returns false and
  // keeps the loader's explanation in errorText() when it cannot be loaded.
  bool open(const std::string& name);
  void close();
  bool isOpen() const { return handle_ != nullptr; }

  // The address of an exported symbol, or null when the library has none of that name.
  void* symbol(const char* name) const;

  // The path the library was loaded from (as handed to the loader).
  const std::string& path() const { return path_; }
  const std::string& errorText() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace host
