#pragma once
// What the Nelvish tests share: an object obtained through CreateObject and released at the
// end, and a private folder for the files they write and read.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "zendral/nelvish.h"

namespace nelvishtest {

// Releases the object at the end of the test, before any handle the test still holds.
class NelvishTest : public ::testing::Test {
 protected:
  NelvishTest() {
    void* object = nullptr;
    EXPECT_TRUE(CreateObject(CLSID_Nelvish, IID_INelvish, &object));
    xml = static_cast<INelvish*>(object);
    std::string pattern = (std::filesystem::temp_directory_path() / "nelvish-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
  }
  ~NelvishTest() override {
    if (xml != nullptr) xml->Release();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::string path(const std::string& name) const { return (folder / name).string(); }

  void writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }

  std::string readFile(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Loads `text` through a real file; the test fails when it is refused.
  void loadText(const std::string& text) {
    writeFile("loaded.xml", text);
    ASSERT_EQ(xml->LoadFile(path("loaded.xml")), 0) << text;
  }

  INelvish* xml = nullptr;
  std::filesystem::path folder;
};

}  // namespace nelvishtest
