#include "sim/bench/nv_store.h"

#include <gtest/gtest.h>

#include "sim/bench/sha256.h"

namespace sim {
namespace {

TEST(Sha256, MatchesTheStandardVectors) {
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // A million bytes in uneven pieces: the block boundaries are crossed at every offset.
  Sha256 pieces;
  std::string chunk(997, 'a');
  size_t left = 1000000;
  while (left > 0) {
    const size_t take = std::min(left, chunk.size());
    pieces.update(chunk.data(), take);
    left -= take;
  }
  EXPECT_EQ(pieces.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(NvItems, CalibrationDependsOnTheModuleAndKeepsFtmOff) {
  const NvItems first = makeCalibratedItems("860000000000017");
  EXPECT_EQ(nvDigest(first), nvDigest(makeCalibratedItems("860000000000017")));
  EXPECT_NE(nvDigest(first), nvDigest(makeCalibratedItems("860000000000025")));
  EXPECT_NE(nvDigest(first), nvDigest(makeFactoryItems()));
  EXPECT_EQ(first.at(kNvFtmModeItem), std::vector<uint8_t>{0});
  for (const auto& [id, data] : first) EXPECT_LE(data.size(), kNvItemMaxSize);
}

class QcnForms : public ::testing::TestWithParam<QcnForm> {};

TEST_P(QcnForms, BackupRestoresTheSameItemsAndIdentity) {
  const NvItems items = makeCalibratedItems("355000000000001");
  const std::string file = encodeQcn(items, "355000000000001", GetParam());
  NvItems back;
  std::string imei, error;
  ASSERT_TRUE(decodeQcn(file, back, imei, error)) << error;
  EXPECT_EQ(nvDigest(back), nvDigest(items));
  EXPECT_EQ(imei, "355000000000001");
  // Padding after a complete backup is harmless.
  ASSERT_TRUE(decodeQcn(file + std::string(5000, ' '), back, imei, error)) << error;
  EXPECT_EQ(nvDigest(back), nvDigest(items));
}

TEST_P(QcnForms, ACutBackupIsRefused) {
  const std::string file = encodeQcn(makeCalibratedItems("1"), "355000000000001", GetParam());
  for (size_t length : {size_t{0}, size_t{10}, file.size() / 2, file.size() - 20}) {
    NvItems back;
    std::string imei, error;
    EXPECT_FALSE(decodeQcn(file.substr(0, length), back, imei, error)) << length;
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Both, QcnForms, ::testing::Values(QcnForm::kQcn, QcnForm::kXqcn));

TEST(NvItems, XqcnWithBrokenItemsIsRefused) {
  std::string imei, error;
  NvItems items;
  const char* broken[] = {
      "<NvBackup imei=\"1\" items=\"1\">\n<NvItem id=\"70000\" data=\"00\"/></NvBackup>",
      "<NvBackup imei=\"1\" items=\"1\">\n<NvItem id=\"5\" data=\"0G\"/></NvBackup>",
      "<NvBackup imei=\"1\" items=\"1\">\n<NvItem id=\"x\" data=\"00\"/></NvBackup>",
      "<NvBackup imei=\"1\" items=\"2\">\n<NvItem id=\"5\" data=\"00\"/></NvBackup>",
  };
  for (const char* text : broken) EXPECT_FALSE(decodeQcn(text, items, imei, error)) << text;
}

TEST(NvItems, EfsImageCarriesTheItems) {
  const NvItems items = makeCalibratedItems("42");
  NvItems back;
  ASSERT_TRUE(decodeEfsImage(encodeEfsImage(items), back));
  EXPECT_EQ(nvDigest(back), nvDigest(items));
  EXPECT_FALSE(decodeEfsImage("random firmware bytes", back));
  EXPECT_FALSE(decodeEfsImage(encodeEfsImage(items).substr(0, 100), back));
}

}  // namespace
}  // namespace sim
