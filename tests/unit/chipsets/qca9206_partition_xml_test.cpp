// The Qca9206 partition XML walk: what it takes from a well-formed file, and hostile files
// (deep nesting, entity expansion, external entities and DTDs, huge attributes and files)
// that must end in an error or a harmless result, never in a crash, a hang or a read of other
// files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chipsets/qca9206_partition_xml.h"
#include "support/temporary_folder.h"

namespace {

std::string partition(const std::string& name, const std::string& image) {
  return "<partition><name>" + name + "</name><img_name>" + image + "</img_name></partition>";
}

class PartitionXmlTest : public ::testing::Test {
 protected:
  PartitionXml read(const std::string& text) {
    folder_.write("partition_nand.xml", text);
    return readPartitionXml(folder_.file("partition_nand.xml").string());
  }
  static std::vector<std::string> labels(const PartitionXml& xml) {
    std::vector<std::string> out;
    for (const PartitionXmlImage& image : xml.images) out.push_back(image.label);
    return out;
  }

  test_support::TemporaryFolder folder_{"zendral-partition-xml"};
};

// ---- Well-formed files ----

TEST_F(PartitionXmlTest, TakesEveryPartitionWithAnImageInDocumentOrder) {
  const PartitionXml xml =
      read("<?xml version=\"1.0\"?>\n<nandboot><partitions>" + partition("0:SBL", "sbl1.mbn") +
           partition("0:MIBIB", "partition.mbn") + partition("0:EFS2", "") +
           "<partition><name>0:outer</name><img_name>outer.img</img_name>" +
           partition("0:inner", "inner.img") + "</partition>" +
           partition(" 0:recovery \n", "\n  recovery.img  ") + partition("nocolon", "plain.img") +
           partition("0:a:b", "ab.img") +
           "<partition><img_name>nameless.img</img_name></partition>" + "</partitions></nandboot>");
  ASSERT_EQ(xml.error, "");
  EXPECT_EQ(labels(xml),
            (std::vector<std::string>{"SBL", "outer", "inner", "recovery", "", "a:b", ""}));
  ASSERT_EQ(xml.images.size(), 7u);
  EXPECT_EQ(xml.images[0].imageName, "sbl1.mbn");
  EXPECT_EQ(xml.images[3].imageName, "recovery.img") << "white space around the text goes";
  EXPECT_EQ(xml.images[6].imageName, "nameless.img");
}

TEST_F(PartitionXmlTest, OnlyTheFirstNameAndImageOfAPartitionCountAndTheRootIsNotOne) {
  const PartitionXml xml = read(
      "<partition><name>0:root</name><img_name>root.img</img_name>"
      "<partition><name>0:one</name><name>0:two</name><img_name>one.img</img_name>"
      "<img_name>two.img</img_name></partition></partition>");
  ASSERT_EQ(xml.error, "");
  ASSERT_EQ(xml.images.size(), 1u);
  EXPECT_EQ(xml.images[0].label, "one");
  EXPECT_EQ(xml.images[0].imageName, "one.img");
}

TEST_F(PartitionXmlTest, CdataAndPredefinedEntitiesAreText) {
  const PartitionXml xml = read(
      "<p><partition><name><![CDATA[0:a&b]]></name>"
      "<img_name>x&amp;y.img</img_name></partition></p>");
  ASSERT_EQ(xml.error, "");
  ASSERT_EQ(xml.images.size(), 1u);
  EXPECT_EQ(xml.images[0].label, "a&b");
  EXPECT_EQ(xml.images[0].imageName, "x&y.img");
}

// ---- Files that cannot be read ----

TEST_F(PartitionXmlTest, MalformedMissingAndEmptyFilesGiveTheLibrarysText) {
  PartitionXml xml = read("<nandboot>" + partition("0:SBL", "sbl1.mbn") + "</nandbot>");
  EXPECT_NE(xml.error.find("mismatch"), std::string::npos) << xml.error;
  EXPECT_TRUE(xml.images.empty());

  xml = read("");
  EXPECT_NE(xml.error, "");

  xml = readPartitionXml(folder_.file("absent.xml").string());
  EXPECT_NE(xml.error, "");
  EXPECT_TRUE(xml.images.empty());
}

// ---- Hostile files ----

TEST_F(PartitionXmlTest, DeepNestingEndsInAnErrorWithoutExhaustingTheStack) {
  constexpr int kDepth = 200000;
  std::string text;
  text.reserve(kDepth * 7 + 64);
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += partition("0:deep", "deep.img");
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  const PartitionXml xml = read(text);
  EXPECT_NE(xml.error, "");
  EXPECT_TRUE(xml.images.empty());
}

TEST_F(PartitionXmlTest, NestingWithinTheLibrarysLimitIsWalkedInOrder) {
  std::string text = "<r>";
  for (int i = 0; i < 200; ++i) text += "<a>";
  text += partition("0:deep", "deep.img");
  for (int i = 0; i < 200; ++i) text += "</a>";
  text += partition("0:after", "after.img") + "</r>";
  const PartitionXml xml = read(text);
  ASSERT_EQ(xml.error, "");
  EXPECT_EQ(labels(xml), (std::vector<std::string>{"deep", "after"}));
}

TEST_F(PartitionXmlTest, EntityExpansionNeverHappens) {
  std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE n [\n<!ENTITY l0 \"lol\">\n";
  for (int i = 1; i <= 12; ++i) {
    text += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) text += "&l" + std::to_string(i - 1) + ";";
    text += "\">\n";
  }
  text += "]>\n<n>" + partition("0:&l12;", "&l12;.img") + partition("0:SBL", "sbl1.mbn") + "</n>";
  const PartitionXml xml = read(text);
  // Either the library refuses the document, or the references stay unexpanded: no text of
  // 10^12 characters is ever built.
  for (const PartitionXmlImage& image : xml.images) {
    EXPECT_LT(image.label.size(), 64u);
    EXPECT_LT(image.imageName.size(), 64u);
    EXPECT_EQ(image.label.find("lol"), std::string::npos);
  }
}

TEST_F(PartitionXmlTest, ExternalEntitiesAndDtdsAreNeverRead) {
  folder_.write("secret.txt", "SECRET");
  const std::string secret = folder_.file("secret.txt").string();
  const PartitionXml xml =
      read("<?xml version=\"1.0\"?>\n<!DOCTYPE n SYSTEM \"" + secret +
           "\" [\n<!ENTITY s SYSTEM \"file://" + secret +
           "\">\n<!ENTITY net SYSTEM \"http://127.0.0.1:9/x\">\n]>\n<n>" +
           partition("0:&s;", "&s;x.img") + partition("0:&net;", "n.img") + "</n>");
  for (const PartitionXmlImage& image : xml.images) {
    EXPECT_EQ(image.label.find("SECRET"), std::string::npos);
    EXPECT_EQ(image.imageName.find("SECRET"), std::string::npos);
  }
}

TEST_F(PartitionXmlTest, HugeAttributesAndFilesAreRefused) {
  const std::string huge(11u << 20, 'A');
  PartitionXml xml = read("<n><partition size=\"" + huge + "\">" + "<name>0:x</name>" +
                          "<img_name>x.img</img_name></partition></n>");
  EXPECT_NE(xml.error, "") << "an attribute beyond the library's limit is an error";
  EXPECT_TRUE(xml.images.empty());

  std::string padded = "<n>" + partition("0:x", "x.img");
  padded += "<!--" + std::string(17u << 20, ' ') + "--></n>";
  xml = read(padded);
  EXPECT_NE(xml.error.find("too large"), std::string::npos) << xml.error.substr(0, 200);
  EXPECT_TRUE(xml.images.empty());
}

}  // namespace
