// The binding against stand-in library builds placed beside this test program:
//   QMSL_MSVC10R.dll, .360.dll  every entry point
//   QMSL_MSVC10R.238.dll        without QLIB_SetLibraryMode
//   QMSL_MSVC10R.247.dll        without QLIB_QPHONEMS_FireHoseErase

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "diag_test_support.h"
#include "host/process_killer.h"
#include "platform/platform.h"
#include "platform/qca_library.h"
#include "platform/qcn_backup.h"
#include "platform/slot_record.h"

namespace {

class BindingTest : public diag_test::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    platform_dispose();
    resetQcaBinding();
    resetSlotRecords();
    gLongLabel = 0;
  }
  void selectPlatform(PlatformType type) {
    platform_dispose();
    ASSERT_NE(platfrom_create_instance(type), nullptr);
  }
  size_t serverKills() const { return killer_.names().size(); }
};

bool endsWith(const std::string& text, const std::string& end) {
  return text.ends_with(end);
}

TEST_F(BindingTest, LibraryBuildFollowsThePlatformThenTheFlag) {
  EXPECT_STREQ(qcaLibraryFileName(kQca8909, 0), "QMSL_MSVC10R.360.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca8909, 1), "QMSL_MSVC10R.360.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca6695, 1), "QMSL_MSVC10R.238.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca6270, 0), "QMSL_MSVC10R.238.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca9206, 1), "QMSL_MSVC10R.247.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca9x07, 0), "QMSL_MSVC10R.dll");
  EXPECT_STREQ(qcaLibraryFileName(kQca9x15, 7), "QMSL_MSVC10R.247.dll");
}

TEST_F(BindingTest, LoadBindsEveryEntryPointAndEndsAllConnections) {
  selectPlatform(kQca9x07);
  ASSERT_EQ(qca_load_lib(0), 0);
  EXPECT_TRUE(endsWith(qcaLibraryPath(), "/QMSL_MSVC10R.dll"));
  EXPECT_NE(fn_QLIB_SetLibraryMode, nullptr);
  EXPECT_NE(fn_QLIB_ConfigureLibraryTextLogCallBack, nullptr);
  EXPECT_NE(fn_QLIB_DIAG_CONTROL_F, nullptr);
  EXPECT_NE(fn_QLIB_TerminateQPSTServer, nullptr);
  void* library = dlopen(qcaLibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(*static_cast<int*>(dlsym(library, "stubDisconnectAllCount")), 1);
  dlclose(library);
  EXPECT_TRUE(surface_.boxes().empty());

  selectPlatform(kQca8909);
  ASSERT_EQ(qca_load_lib(0), 0);
  EXPECT_TRUE(endsWith(qcaLibraryPath(), "/QMSL_MSVC10R.360.dll"));
}

TEST_F(BindingTest, MissingEntryPointShowsItsBoxAndFailsTheLoad) {
  selectPlatform(kQca9206);
  EXPECT_EQ(qca_load_lib(1), -1);
  EXPECT_EQ(surface_.boxes(),
            std::vector<std::string>{"Error: QLIB_QPHONEMS_FireHoseErase func loaded false!"});
  EXPECT_TRUE(qcaLibraryLoaded()) << "the incomplete library stays loaded";

  selectPlatform(kQca6270);
  EXPECT_EQ(qca_load_lib(0), -1);
  EXPECT_EQ(surface_.boxes().back(), "Error: LIB_SetLibraryMode func loaded false!");
}

TEST_F(BindingTest, EveryLoadAndUnloadStopsThePhoneServer) {
  EXPECT_EQ(qca_load_lib(0), -1) << "no platform table yet";
  EXPECT_EQ(serverKills(), 0u);
  EXPECT_FALSE(qcaLibraryLoaded());

  selectPlatform(kQca9x15);
  ASSERT_EQ(qca_load_lib(0), 0);
  EXPECT_EQ(serverKills(), 1u);
  ASSERT_EQ(qca_load_lib(0), 0);
  EXPECT_EQ(serverKills(), 3u) << "once before unloading, once before loading";
  EXPECT_EQ(qca_unload_lib(), 0);
  EXPECT_EQ(serverKills(), 4u);
  EXPECT_FALSE(qcaLibraryLoaded());
  EXPECT_EQ(qca_unload_lib(), 0);
  EXPECT_EQ(serverKills(), 4u);
  for (const std::string& name : killer_.names()) EXPECT_EQ(name, "QPSTServer.exe");
}

TEST_F(BindingTest, QcnWorkOnQca9206SwapsTheLibraryAndAlwaysSwapsBack) {
  selectPlatform(kQca9206);
  DownloadRequest request{};
  request.slot = 1;
  EXPECT_EQ(backupQcn(request, kRestoreXqcn, 1), -1);
  EXPECT_TRUE(surface_.showed("backupQcn qca_load_lib(1) failed!"));
  EXPECT_TRUE(endsWith(qcaLibraryPath(), "/QMSL_MSVC10R.dll"))
      << "the platform's own build is loaded again";

  // A platform build that never loads is given up on with a request to repower.
  gLongLabel = 1;
  EXPECT_EQ(backupQcn(request, kRestoreXqcn, 1), -1);
  EXPECT_GE(surface_.count("backupQcn qca_load_lib(gLongLabel) failed!"), 1u);
  EXPECT_TRUE(surface_.showed("backupQcn qca_load_lib(gLongLabel) failed, Please repower 1 DUT."));
}

}  // namespace
