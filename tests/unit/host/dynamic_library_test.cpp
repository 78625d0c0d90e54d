#include "host/dynamic_library.h"

#include <gtest/gtest.h>

#include "host/executable_path.h"

namespace {

using host::DynamicLibrary;

constexpr char kPlugin[] = "libzendral_test_plugin.so";

TEST(DynamicLibraryTest, BareNameIsFoundBesideTheExecutable) {
  DynamicLibrary library;
  ASSERT_TRUE(library.open(kPlugin)) << library.errorText();
  EXPECT_EQ(library.path(), host::executableDir() + "/" + kPlugin);
  auto answer = reinterpret_cast<int (*)()>(library.symbol("zendralTestPluginAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(library.symbol("noSuchFunction"), nullptr);
}

TEST(DynamicLibraryTest, PathsAreUsedAsTheyStand) {
  DynamicLibrary library;
  std::string full = host::executableDir() + "/" + kPlugin;
  ASSERT_TRUE(library.open(full));
  EXPECT_EQ(library.path(), full);
  library.close();
  EXPECT_FALSE(library.isOpen());
  EXPECT_EQ(library.symbol("zendralTestPluginAnswer"), nullptr);
}

TEST(DynamicLibraryTest, MissingOrBrokenLibrariesFailWithAReason) {
  DynamicLibrary library;
  EXPECT_FALSE(library.open("QMSL_no_such_build.dll"));
  EXPECT_FALSE(library.errorText().empty());
  EXPECT_FALSE(library.open(""));
  // A file that exists but is no shared library (the test program itself is one; a text
  // file is not).
  EXPECT_FALSE(library.open("/proc/self/status"));
  EXPECT_FALSE(library.isOpen());
}

}  // namespace
