#include "host/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

#include "host/executable_path.h"

namespace host {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  close();
}

bool DynamicLibrary::open(const std::string& name) {
  close();
  error_.clear();
  if (name.empty()) {
    error_ = "no library name";
    return false;
  }
  path_ = findHelperFile(name);
  // A bare name found in none of the helper folders goes to the loader's search unchanged.
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    error_ = why ? why : "cannot load " + name;
    return false;
  }
  return true;
}

void DynamicLibrary::close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
  path_.clear();
}

void* DynamicLibrary::symbol(const char* name) const {
  if (!handle_ || !name) return nullptr;
  return dlsym(handle_, name);
}

}  // namespace host
