// The Wexley object through its public interface: the factory and reference counting, each
// operation, the read failures and their messages, and the limits of the read buffer.

#include "zendral/wexley.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "wexley_test_support.h"

using wexleytest::readFile;
using wexleytest::TempFolder;
using wexleytest::writeFile;
using Pairs = std::vector<std::pair<std::string, std::string>>;

namespace {

constexpr GUID kOtherId = {
    0x873C59D5, 0xE75F, 0x4488, {0xA3, 0xEE, 0xC4, 0x8B, 0x8B, 0x57, 0x36, 0xD2}};

// Runs `read` and returns the message it throws ("" when it throws nothing).
template <typename Read>
std::string failureOf(Read read) {
  try {
    read();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

class WexleyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateObject(CLSID_Wexley, IID_IWexley, reinterpret_cast<void**>(&ini)));
    ini->SetFilePath(path);
  }
  void TearDown() override {
    if (ini != nullptr) {
      EXPECT_EQ(ini->Release(), 0);
    }
  }

  TempFolder folder;
  std::string path = folder.file("station.ini");
  IWexley* ini = nullptr;
};

TEST(WexleyFactory, HandsOutCountedObjectsForItsOwnIdsOnly) {
  void* out = &out;  // any value that is not null
  EXPECT_FALSE(CreateObject(kOtherId, IID_IWexley, &out));
  EXPECT_EQ(out, &out);  // another class id leaves out untouched
  // An unknown interface id nulls out and frees the object (the leak checker would notice).
  EXPECT_FALSE(CreateObject(CLSID_Wexley, kOtherId, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(CreateObject(CLSID_Wexley, IID_IWexley, nullptr));

  IUnknown* unknown = nullptr;
  ASSERT_TRUE(CreateObject(CLSID_Wexley, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  IWexley* ini = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IWexley, reinterpret_cast<void**>(&ini)), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(ini), unknown);
  void* none = &none;
  EXPECT_EQ(ini->QueryInterface(kOtherId, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(ini->AddRef(), 3);
  EXPECT_EQ(ini->Release(), 2);
  EXPECT_EQ(unknown->Release(), 1);
  EXPECT_EQ(ini->SetFilePath("a.ini"), "a.ini");
  EXPECT_EQ(&ini->GetFilePath(), &ini->GetFilePath());
  EXPECT_EQ(ini->Release(), 0);
}

TEST_F(WexleyTest, ListsSectionNamesPaddedTo256Characters) {
  std::string longName(300, 'L');
  writeFile(path, "[A]\nx=1\n[B]\n[" + longName + "]\n");
  std::vector<std::string> names = ini->GetSectionNames();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "A" + std::string(255, '\0'));
  EXPECT_EQ(names[1][0], 'B');
  EXPECT_EQ(names[1].size(), 256u);
  EXPECT_EQ(names[2], longName.substr(0, 256));
}

TEST_F(WexleyTest, ReadFailuresCarryTheirMessages) {
  std::string missing = folder.file("missing.ini");
  ini->SetFilePath(missing);
  EXPECT_EQ(failureOf([&] { ini->GetSectionNames(); }), "解析初始化文件\"" + missing + "\"失败.");
  writeFile(path, "; only a comment\n");
  ini->SetFilePath(path);
  EXPECT_EQ(failureOf([&] { ini->GetSectionNames(); }), "解析初始化文件\"" + path + "\"失败.");

  // 200 names of 200 characters do not fit the 32766 characters of the list.
  std::string many;
  for (int i = 0; i < 200; ++i)
    many += "[" + std::to_string(1000 + i) + std::string(196, 's') + "]\n";
  writeFile(path, many);
  EXPECT_EQ(failureOf([&] { ini->GetSectionNames(); }), "内存分配不足.");
}

TEST_F(WexleyTest, ReadsSectionsKeysAndValues) {
  writeFile(path, "[Main]\r\nk=v=w\r\n Name = 'A3' \r\nbare\r\n");
  EXPECT_EQ(ini->GetSection("main"), (Pairs{{"k", "v=w"}, {"Name", "'A3'"}, {"bare", ""}}));
  EXPECT_EQ(ini->GetKeys("MAIN"), (std::vector<std::string>{"k", "Name", "bare"}));
  EXPECT_EQ(ini->GetValue("Main", "name"), "A3");
  EXPECT_EQ(ini->GetValue("Main", "missing"), "");
  EXPECT_EQ(ini->GetValue("Other", "k"), "");
  EXPECT_TRUE(ini->GetSection("Other").empty());
  EXPECT_TRUE(ini->GetKeys("Other").empty());
}

TEST_F(WexleyTest, WhatWriteSectionAcceptsReadsBackWholeAndMoreIsRefused) {
  // "k=" and the value, its NUL and the final NUL fill the 32767-character buffer exactly.
  std::string largest(32763, 'v');
  ASSERT_TRUE(ini->WriteSection("Big", {{"k", largest}}));
  EXPECT_EQ(ini->GetSection("Big"), (Pairs{{"k", largest}}));
  EXPECT_EQ(ini->GetValue("Big", "k"), largest);
  std::string before = readFile(path);
  EXPECT_FALSE(ini->WriteSection("Big", {{"k", largest + "v"}}));
  EXPECT_FALSE(
      ini->WriteSection("Big", {{"a", std::string(20000, 'a')}, {"b", std::string(20000, 'b')}}));
  EXPECT_EQ(readFile(path), before);
}

TEST_F(WexleyTest, ReadsThatDoNotFitTheBufferFailInsteadOfCuttingTheResult) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 400; ++i)
    text += "key" + std::to_string(1000 + i) + std::string(90, 'k') + "=1\n";
  text += "[Value]\nv=" + std::string(40000, 'x') + "\n";
  writeFile(path, text);
  EXPECT_EQ(failureOf([&] { ini->GetSection("Big"); }), "内存分配不足.");
  EXPECT_EQ(failureOf([&] { ini->GetKeys("Big"); }), "内存分配不足.");
  EXPECT_EQ(failureOf([&] { ini->GetValue("Value", "v"); }), "内存分配不足.");
}

TEST_F(WexleyTest, WritesAndDeletes) {
  ASSERT_TRUE(ini->WriteValue("Main", "Name", "A3"));
  ASSERT_TRUE(ini->WriteValue("Main", "Line", "7"));
  ASSERT_TRUE(ini->WriteSection("Ports", {{"diag", "3"}, {"at", "4"}}));
  EXPECT_EQ(readFile(path), "[Main]\r\nName=A3\r\nLine=7\r\n[Ports]\r\ndiag=3\r\nat=4\r\n");
  EXPECT_TRUE(ini->DeleteKey("main", "name"));
  EXPECT_TRUE(ini->ClearSection("Ports"));
  EXPECT_EQ(readFile(path), "[Main]\r\nLine=7\r\n[Ports]\r\n");
  EXPECT_TRUE(ini->DeleteSection("PORTS"));
  EXPECT_EQ(readFile(path), "[Main]\r\nLine=7\r\n");
  EXPECT_FALSE(ini->WriteValue("Main", "Name", "two\nlines"));
  EXPECT_FALSE(ini->WriteSection("Main", {{"k", std::string("a\0b", 3)}}));
  EXPECT_EQ(readFile(path), "[Main]\r\nLine=7\r\n");
}

TEST_F(WexleyTest, RenameKeepsTheKeysInOrder) {
  writeFile(path, "[Old]\nc=3\na=1\nb=2\n[Next]\nx=1\n");
  ASSERT_TRUE(ini->RenameSection("old", "New"));
  EXPECT_EQ(ini->GetSection("Old"), Pairs{});
  EXPECT_EQ(ini->GetSection("New"), (Pairs{{"c", "3"}, {"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(readFile(path), "[Next]\nx=1\n[New]\r\nc=3\r\na=1\r\nb=2\r\n");
}

TEST_F(WexleyTest, ARefusedRenameLosesNothing) {
  std::string original = "[Old]\nc=3\na=1\n";
  writeFile(path, original);
  EXPECT_FALSE(ini->RenameSection("Old", "New]\n[Evil"));
  EXPECT_EQ(readFile(path), original);
  // A rename to the same name (lookups ignore case) keeps the one section there is.
  EXPECT_TRUE(ini->RenameSection("Old", "OLD"));
  EXPECT_EQ(readFile(path), original);
}

TEST_F(WexleyTest, CreateIniFileEmptiesOrCreates) {
  writeFile(path, "[A]\nx=1\n");
  EXPECT_TRUE(ini->CreateIniFile());
  EXPECT_EQ(readFile(path), "");
  ini->SetFilePath(folder.file("new.ini"));
  EXPECT_TRUE(ini->CreateIniFile());
  EXPECT_EQ(readFile(folder.file("new.ini")), "");
  ini->SetFilePath(folder.file("no/such/folder.ini"));
  EXPECT_FALSE(ini->CreateIniFile());
}

}  // namespace
