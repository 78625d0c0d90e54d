#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "chipsets/platform_rows.h"

namespace {

int fakeLoad(host::FileTable&) {
  return 7;
}
int fakeAutoLoad(host::FileTable&, const char*) {
  return 8;
}
int fakeSave(host::FileTable&) {
  return 9;
}
int fakeStep(const DownloadRequest& request) {
  return request.slot;
}
int fakeCompleted() {
  return 0;
}

std::vector<PlatformType> gRequestedTypes;
PlatformOps gFakeRow{-99,      fakeAutoLoad, fakeLoad, fakeSave,
                     fakeStep, fakeStep,     fakeStep, fakeCompleted};

const PlatformOps* fakeRows(PlatformType type) {
  gRequestedTypes.push_back(type);
  return &gFakeRow;
}

class PlatformTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_dispose();
    gRequestedTypes.clear();
    previous_ = installPlatformRows(fakeRows);
  }
  void TearDown() override {
    platform_dispose();
    installPlatformRows(previous_);
  }
  PlatformRowSource previous_ = nullptr;
};

TEST_F(PlatformTableTest, NewTableTakesItsTypeAndTheRowsOperations) {
  PlatformOps* table = platfrom_create_instance(kQca9x07);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(pPlatforms, table);
  EXPECT_EQ(table->type, kQca9x07) << "the type is set, not copied from the row";
  host::FileTable files;
  EXPECT_EQ(table->load(files), 7);
  EXPECT_EQ(table->autoLoad(files, "/fw"), 8);
  EXPECT_EQ(table->save(files), 9);
  DownloadRequest request{};
  request.slot = 1;
  EXPECT_EQ(table->cpDownload(request), 1);
  EXPECT_EQ(gRequestedTypes, std::vector<PlatformType>{kQca9x07});
}

TEST_F(PlatformTableTest, AnExistingTableIsReturnedUnchangedWhateverTheType) {
  PlatformOps* first = platfrom_create_instance(kQca6270);
  PlatformOps* second = platfrom_create_instance(kQca8909);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->type, kQca6270);
  platform_dispose();
  EXPECT_EQ(pPlatforms, nullptr);
  platform_dispose();  // nothing left to free
  EXPECT_EQ(platfrom_create_instance(kQca8909)->type, kQca8909);
}

TEST_F(PlatformTableTest, TypesOutsideTheTableOrMissingRowsGiveNoTable) {
  EXPECT_EQ(platfrom_create_instance(-1), nullptr);
  EXPECT_EQ(platfrom_create_instance(kPlatformTypeCount), nullptr);
  installPlatformRows(nullptr);
  EXPECT_EQ(platfrom_create_instance(kQca9x15), nullptr);
  EXPECT_EQ(pPlatforms, nullptr);
}

TEST(DownloadRequestTest, LayoutMatchesTheFixedRecord) {
  DownloadRequest request{};
  request.portKind = 2;
  request.slot = 1;
  request.ql9009port = 0x11223344;
  std::strcpy(request.meid, "A0000012345678");
  unsigned char bytes[sizeof request];
  std::memcpy(bytes, &request, sizeof request);
  EXPECT_EQ(sizeof request, 820u);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[8], 1);
  EXPECT_EQ(bytes[792], 'A');
  EXPECT_EQ(bytes[816], 0x44) << "the last field ends the record";
}

TEST(ChipsetRowsTest, EveryTypeHasACompleteRowOfItsOwnType) {
  for (PlatformType type = 0; type < kPlatformTypeCount; ++type) {
    SCOPED_TRACE(type);
    const PlatformOps* row = chipsetPlatformRow(type);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->type, type);
    EXPECT_TRUE(row->autoLoad && row->load && row->save && row->cpDownload && row->apDownload &&
                row->tpStep && row->downloadCompleted);
  }
  EXPECT_EQ(chipsetPlatformRow(7), nullptr);
}

}  // namespace
