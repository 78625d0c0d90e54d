// Writing files: the target is replaced whole or not at all, keeps its permissions, and no
// temporary file is ever left behind.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "ini/atomic_file.h"
#include "ini/inifile.h"
#include "ini_test_support.h"

using initest::readFile;
using initest::TempFolder;
using initest::writeFile;

namespace {

IniDocumentPtr smallDocument() {
  IniDocumentPtr doc(Ini_New(0));
  Ini_PutInt(doc.get(), "S", "K", 1);
  return doc;
}

TEST(IniAtomicWrite, ReplacesTheTargetAndKeepsItsMode) {
  TempFolder folder;
  std::string target = folder.file("cfg.ini");
  writeFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(Ini_WriteToFile(smallDocument().get(), target.c_str()), 0);
  EXPECT_EQ(readFile(target), "[S]\r\nK = 1\r\n\r\n");
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"cfg.ini"});
}

TEST(IniAtomicWrite, WritesThroughASymbolicLink) {
  TempFolder folder;
  writeFile(folder.file("real.ini"), "old");
  ASSERT_EQ(::symlink("real.ini", folder.file("link.ini").c_str()), 0);
  ASSERT_EQ(Ini_WriteToFile(smallDocument().get(), folder.file("link.ini").c_str()), 0);
  EXPECT_EQ(readFile(folder.file("real.ini")), "[S]\r\nK = 1\r\n\r\n");
  struct stat info;
  ASSERT_EQ(::lstat(folder.file("link.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST(IniAtomicWrite, FailuresLeaveTheTargetAndNoTemporaryFile) {
  TempFolder folder;
  std::string target = folder.file("cfg.ini");
  writeFile(target, "old");
  // A write that fails half-way: the disk fills after some bytes.
  auto fillsTheDisk = [](int fd) {
    EXPECT_EQ(::write(fd, "partial", 7), 7);
    return ENOSPC;
  };
  EXPECT_EQ(ini::replaceFileAtomically(target.c_str(), fillsTheDisk), kIniDiskFull);
  auto ioError = [](int) { return EIO; };
  EXPECT_EQ(ini::replaceFileAtomically(target.c_str(), ioError), kIniWriteError);
  auto refused = [](int) { return EACCES; };
  EXPECT_EQ(ini::replaceFileAtomically(target.c_str(), refused), kIniNotWritable);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"cfg.ini"});
}

TEST(IniAtomicWrite, TargetsThatCannotBeWritten) {
  TempFolder folder;
  IniDocumentPtr doc = smallDocument();
  ASSERT_EQ(::mkdir(folder.file("dir.ini").c_str(), 0755), 0);
  EXPECT_EQ(Ini_WriteToFile(doc.get(), folder.file("dir.ini").c_str()), kIniNotWritable);
  EXPECT_EQ(Ini_WriteToFile(doc.get(), folder.file("no/such/folder.ini").c_str()), kIniWriteError);
  EXPECT_EQ(Ini_WriteToFile(doc.get(), "/dev/null"), kIniNotWritable);  // never replace a device
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"dir.ini"});
  EXPECT_EQ(Ini_WriteToFile(nullptr, folder.file("x.ini").c_str()), kIniNullArgument);
}

TEST(IniAtomicWrite, PermissionsRefuseTheWrite) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempFolder folder;
  IniDocumentPtr doc = smallDocument();
  std::string readOnly = folder.file("ro.ini");
  writeFile(readOnly, "old");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_EQ(Ini_WriteToFile(doc.get(), readOnly.c_str()), kIniNotWritable);
  EXPECT_EQ(readFile(readOnly), "old");
  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  EXPECT_EQ(Ini_WriteToFile(doc.get(), folder.file("new.ini").c_str()), kIniNotWritable);
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"ro.ini"});
}

}  // namespace
