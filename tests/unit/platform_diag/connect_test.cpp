#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag_test_support.h"
#include "platform/qca_library.h"

namespace {

// What the scripted library answers.
HANDLE gConnectHandle = nullptr;
int gNotConnectedAnswers = 0;
int gPolls = 0;
std::vector<std::string> gCalls;

class ConnectTest : public diag_test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    resetQcaBinding();
    gConnectHandle = reinterpret_cast<HANDLE>(0x77);
    gNotConnectedAnswers = 0;
    gPolls = 0;
    gCalls.clear();
    fn_QLIB_SetLibraryMode = [](unsigned char mode) {
      gCalls.push_back("mode " + std::to_string(mode));
    };
    fn_QLIB_ConnectServerWithWait = [](unsigned int port, unsigned int waitMs) {
      gCalls.push_back("connect " + std::to_string(port) + " " + std::to_string(waitMs));
      return gConnectHandle;
    };
    fn_QLIB_IsPhoneConnected = [](HANDLE) -> unsigned char {
      ++gPolls;
      return gPolls > gNotConnectedAnswers ? 1 : 0;
    };
    fn_QLIB_SetTargetType = [](unsigned char type) {
      gCalls.push_back("target " + std::to_string(type));
    };
  }
  void TearDown() override {
    resetQcaBinding();
    ServiceTest::TearDown();
  }
};

TEST_F(ConnectTest, ConnectsInTheLowByteOfTheModeAndWaitsForThePhone) {
  gNotConnectedAnswers = 50;
  HANDLE handle = nullptr;
  EXPECT_EQ(qca_connect_server(12, 0x101, &handle), 0);
  EXPECT_EQ(handle, gConnectHandle);
  EXPECT_EQ(gPolls, 51);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"mode 1", "connect 12 10000", "target 0"}));
}

TEST_F(ConnectTest, FailedConnectAndSilentPhoneHaveTheirOwnResults) {
  gConnectHandle = nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(qca_connect_server(12, 0, &handle), -12);
  EXPECT_EQ(handle, nullptr);

  gConnectHandle = reinterpret_cast<HANDLE>(0x77);
  gNotConnectedAnswers = 51;
  EXPECT_EQ(qca_connect_server(12, 0, &handle), -1);
  EXPECT_EQ(gPolls, 51);
  EXPECT_EQ(handle, gConnectHandle) << "the caller still gets the handle to release";
}

TEST_F(ConnectTest, StopEndsTheWaitForThePhone) {
  gNotConnectedAnswers = 1000000;
  host::requestStop();
  HANDLE handle = nullptr;
  EXPECT_EQ(qca_connect_server(12, 0, &handle), -1);
  EXPECT_LE(gPolls, 2);
}

TEST_F(ConnectTest, CallbacksFindTheirSlotOnlyByAKnownHandle) {
  HANDLE handle = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(slotOfHandle(handle), -1);
  EXPECT_EQ(slotOfHandle(nullptr), -1) << "an unused entry is not a match";
  handeIndexMap[0] = handle;
  EXPECT_EQ(slotOfHandle(handle), 1);
  EXPECT_EQ(slotOfHandleValue(0x1234), 1);
  EXPECT_EQ(slotOfHandleValue(0), -1);
  handeIndexMap[3] = reinterpret_cast<HANDLE>(0x5678);
  EXPECT_EQ(slotOfHandle(reinterpret_cast<HANDLE>(0x5678)), -1) << "the station runs one slot";

  EXPECT_FALSE(IsQpstOpration());
  handeIndexQpstMap[7] = handle;
  EXPECT_TRUE(IsQpstOpration());
}

}  // namespace
