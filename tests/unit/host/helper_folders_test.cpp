// Where the station finds its diagnostic library and outside tools: beside its executable in a
// build, in <prefix>/lib/zendral/ when installed, and the bench's simulated ones in
// <prefix>/lib/zendral-bench/ only while the bench is in use.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/executable_path.h"
#include "support/temporary_folder.h"

namespace {

using host::findHelperFile;
using host::helperFolders;
using test_support::TemporaryFolder;

constexpr char kLibrary[] = "QMSL_MSVC10R.dll";

TEST(HelperFoldersTest, TheBenchFolderIsSearchedOnlyWithTheBenchInUse) {
  EXPECT_EQ(helperFolders("/usr/bin", false),
            (std::vector<std::string>{"/usr/bin", "/usr/lib/zendral"}));
  EXPECT_EQ(helperFolders("/usr/bin", true),
            (std::vector<std::string>{"/usr/bin", "/usr/lib/zendral-bench", "/usr/lib/zendral"}));
  EXPECT_EQ(helperFolders("/bin", false), (std::vector<std::string>{"/bin", "/lib/zendral"}));
  EXPECT_TRUE(helperFolders("", true).empty());
}

// An installed tree: the programs in bin/, a line PC's real library in lib/zendral/ and the
// bench's simulated one in lib/zendral-bench/.
class InstalledTreeTest : public ::testing::Test {
 protected:
  InstalledTreeTest() {
    prefix_.write("bin/zendral-headless", "");
    prefix_.write(std::string("lib/zendral/") + kLibrary, "real");
    prefix_.write(std::string("lib/zendral-bench/") + kLibrary, "simulated");
    prefix_.write("lib/zendral-bench/fh_loader.exe", "simulated");
  }
  std::string path(const std::string& name) const { return prefix_.file(name).string(); }
  std::vector<std::string> folders(bool bench) const { return helperFolders(path("bin"), bench); }

  TemporaryFolder prefix_{"zendral-prefix"};
};

TEST_F(InstalledTreeTest, TheRealLibraryIsNeverShadowedWithoutTheBench) {
  EXPECT_EQ(findHelperFile(kLibrary, folders(false)), path("lib/zendral/") + kLibrary);
  // A simulated tool that the line PC lacks is not found either: the system's search decides.
  EXPECT_EQ(findHelperFile("fh_loader.exe", folders(false)), "fh_loader.exe");
}

TEST_F(InstalledTreeTest, TheBenchUsesItsSimulatedFiles) {
  EXPECT_EQ(findHelperFile(kLibrary, folders(true)), path("lib/zendral-bench/") + kLibrary);
  EXPECT_EQ(findHelperFile("fh_loader.exe", folders(true)),
            path("lib/zendral-bench/fh_loader.exe"));
}

TEST_F(InstalledTreeTest, AFileBesideTheExecutableComesFirst) {
  prefix_.write(std::string("bin/") + kLibrary, "beside");
  EXPECT_EQ(findHelperFile(kLibrary, folders(true)), path("bin/") + kLibrary);
  EXPECT_EQ(findHelperFile(kLibrary, folders(false)), path("bin/") + kLibrary);
}

TEST_F(InstalledTreeTest, OnlyRegularFilesWithBareNamesAreLookedFor) {
  // A folder of that name is skipped; a name with a folder is used as it stands.
  prefix_.write(std::string("bin/QSaharaServer.exe/x"), "");
  prefix_.write("lib/zendral/QSaharaServer.exe", "real");
  EXPECT_EQ(findHelperFile("QSaharaServer.exe", folders(false)),
            path("lib/zendral/QSaharaServer.exe"));
  EXPECT_EQ(findHelperFile("./fh_loader.exe", folders(true)), "./fh_loader.exe");
  EXPECT_EQ(findHelperFile("", folders(true)), "");
  EXPECT_EQ(findHelperFile("nothing-here.dll", folders(true)), "nothing-here.dll");
}

}  // namespace
