// Saving and loading: the exact bytes of a saved file, Chinese text through GB2312 and back,
// the encodings a file may declare, and the atomic replacement of the target.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "nelvish_test_support.h"

namespace nelvishtest {
namespace {

using NelvishFiles = NelvishTest;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n";

TEST_F(NelvishFiles, ASavedDocumentStartsWithTheGb2312DeclarationAndItsRoot) {
  XmlNode root = xml->CreateDocument("root");
  xml->SetElementText(xml->AppendElement(root, "a"), "x");
  ASSERT_EQ(xml->SaveFile(path("out.xml")), 0);
  EXPECT_EQ(readFile("out.xml"), kDeclaration + "<root>\n  <a>x</a>\n</root>\n");

  ASSERT_EQ(xml->LoadFile(path("out.xml")), 0);
  XmlNode document = xml->SelectNodes(xml->GetRootElement(), "/")[0];
  EXPECT_EQ(xml->GetChildNames(document), std::vector<std::string>{"root"});
}

TEST_F(NelvishFiles, ChineseTextIsWrittenInGb2312AndReadBackAsTheSameText) {
  XmlNode root = xml->CreateDocument("root");
  XmlNode element = xml->AppendElement(root, "中文");
  xml->SetElementText(element, "中文");
  xml->SetAttribute(element, "名称", "名称");
  xml->AppendComment(root, "注释");
  ASSERT_EQ(xml->SaveFile(path("zh.xml")), 0);

  const std::string zhong = "\xD6\xD0\xCE\xC4", name = "\xC3\xFB\xB3\xC6";
  EXPECT_EQ(readFile("zh.xml"), kDeclaration + "<root>\n  <" + zhong + " " + name + "=\"" + name +
                                    "\">" + zhong + "</" + zhong +
                                    ">\n  <!--\xD7\xA2\xCA\xCD-->\n" + "</root>\n");

  ASSERT_EQ(xml->LoadFile(path("zh.xml")), 0);
  XmlNode loaded = xml->GetFirstChild(xml->GetRootElement());
  EXPECT_EQ(xml->GetNodeName(loaded), "中文");
  EXPECT_EQ(xml->GetText(loaded), "中文");
  EXPECT_EQ(xml->GetAttribute(loaded, "名称"), "名称");
  EXPECT_EQ(xml->GetText(xml->GetNextSibling(loaded)), "注释");
}

TEST_F(NelvishFiles, CharactersGb2312LacksBecomeReferencesOrAreRefused) {
  XmlNode root = xml->CreateDocument("root");
  xml->SetElementText(root, "喆 😀");
  xml->SetAttribute(root, "v", "€");
  EXPECT_THROW(xml->AppendComment(root, "😀"), std::runtime_error);
  EXPECT_THROW(xml->AppendElement(root, "喆"), std::runtime_error);
  EXPECT_THROW(xml->SetAttribute(root, "喆", "x"), std::runtime_error);
  ASSERT_EQ(xml->SaveFile(path("refs.xml")), 0);
  EXPECT_EQ(readFile("refs.xml"), kDeclaration + "<root v=\"&#8364;\">&#21894; &#128512;</root>\n");
  ASSERT_EQ(xml->LoadFile(path("refs.xml")), 0);
  EXPECT_EQ(xml->GetText(xml->GetRootElement()), "喆 😀");
  EXPECT_EQ(xml->GetAttribute(xml->GetRootElement(), "v"), "€");
}

TEST_F(NelvishFiles, LoadsEveryEncodingTheDeclarationNames) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("<r>A</r>")) utf16 += std::string{c, '\0'};
  for (const Case& file : std::vector<Case>{
           {"<r>\xE4\xB8\xAD</r>", "中"},
           {"<?xml version='1.0' encoding='UTF-8'?><r>\xE4\xB8\xAD</r>", "中"},
           {utf16, "A"},
           {"<?xml version='1.0' encoding='gb2312'?><r>\xD6\xD0</r>", "中"},
           {"<?xml version='1.0' encoding='GBK'?><r>\x86\xB4</r>", "喆"},
           {"<?xml version='1.0' encoding='GB18030'?><r>\x94\x39\xFC\x36</r>", "😀"},
       }) {
    writeFile("in.xml", file.bytes);
    ASSERT_EQ(xml->LoadFile(path("in.xml")), 0) << file.text;
    EXPECT_EQ(xml->GetText(xml->GetRootElement()), file.text);
  }
}

TEST_F(NelvishFiles, ALoadedDocumentIsSavedInItsOwnEncoding) {
  loadText("<?xml version='1.0' encoding='GBK'?><r>\x86\xB4</r>");
  xml->AppendComment(xml->GetRootElement(), "喆");
  ASSERT_EQ(xml->SaveFile(path("gbk.xml")), 0);
  EXPECT_EQ(readFile("gbk.xml"),
            "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<r>\x86\xB4<!--\x86\xB4--></r>\n");

  loadText("<r>\xE4\xB8\xAD</r>");
  ASSERT_EQ(xml->SaveFile(path("utf8.xml")), 0);
  EXPECT_EQ(readFile("utf8.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\xE4\xB8\xAD</r>\n");

  // UTF-7 would encode the declaration too and no reader could open the file: UTF-8 instead.
  loadText("<?xml version='1.0' encoding='UTF-7'?><r>A</r>");
  ASSERT_EQ(xml->SaveFile(path("utf7.xml")), 0);
  EXPECT_EQ(readFile("utf7.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>A</r>\n");
  EXPECT_EQ(xml->LoadFile(path("utf7.xml")), 0);
}

TEST_F(NelvishFiles, AFailedLoadReturnsOneAndKeepsTheDocument) {
  XmlNode root = xml->CreateDocument("kept");
  writeFile("bad.xml", "<a><b></a>");
  ::mkdir(path("folder").c_str(), 0700);
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  for (std::string name : {"missing.xml", "bad.xml", "folder", "fifo"}) {
    EXPECT_EQ(xml->LoadFile(path(name)), 1) << name;
  }
  EXPECT_EQ(xml->LoadFile(""), 1);
  writeFile("good.xml", "<good/>");
  EXPECT_EQ(xml->LoadFile(path("good.xml") + std::string("\0.bak", 5)), 1);
  EXPECT_TRUE(xml->GetRootElement() == root);
}

TEST_F(NelvishFiles, SaveReplacesTheTargetWholeAndKeepsItsMode) {
  writeFile("target.xml", "old content");
  ASSERT_EQ(::chmod(path("target.xml").c_str(), 0640), 0);
  xml->CreateDocument("new");
  ASSERT_EQ(xml->SaveFile(path("target.xml")), 0);
  EXPECT_EQ(readFile("target.xml"), kDeclaration + "<new/>\n");
  struct stat info;
  ASSERT_EQ(::stat(path("target.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  ASSERT_EQ(::symlink("target.xml", path("link.xml").c_str()), 0);
  xml->CreateDocument("through");
  ASSERT_EQ(xml->SaveFile(path("link.xml")), 0);
  EXPECT_EQ(readFile("target.xml"), kDeclaration + "<through/>\n");
  ASSERT_EQ(::lstat(path("link.xml").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(NelvishFiles, AFailedSaveReportsTheErrorAndLeavesNothingBehind) {
  EXPECT_EQ(xml->SaveFile(path("never.xml")), EINVAL);  // nothing created or loaded yet
  xml->CreateDocument("root");
  ::mkdir(path("folder").c_str(), 0700);
  EXPECT_EQ(xml->SaveFile(path("missing/out.xml")), ENOENT);
  EXPECT_EQ(xml->SaveFile(path("folder")), EISDIR);
  EXPECT_EQ(xml->SaveFile(""), ENOENT);
  EXPECT_EQ(xml->SaveFile(path("cut") + std::string("\0.xml", 5)), EINVAL);
  if (::geteuid() != 0) {  // the superuser writes anywhere
    ::chmod(path("folder").c_str(), 0500);
    EXPECT_EQ(xml->SaveFile(path("folder/out.xml")), EACCES);
    ::chmod(path("folder").c_str(), 0700);
  }
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"folder"});
}

}  // namespace
}  // namespace nelvishtest
