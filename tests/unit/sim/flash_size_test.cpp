// The flash size a virtual module is plugged with: chosen among its platform's sizes, reported
// by "AT+CDEVICE?" and in the bench's state.

#include <gtest/gtest.h>

#include "sim/bench/at_responder.h"
#include "sim/bench/bench.h"

namespace sim {
namespace {

using nlohmann::json;

TEST(FlashSize, APlatformsModuleComesWithOneOfItsSizes) {
  Bench bench;
  json reply = bench.handle({{"cmd", "plug"}, {"platform", "Qca9206"}});
  ASSERT_TRUE(reply["ok"]) << reply.dump();
  reply = bench.handle({{"cmd", "plug"}, {"platform", "Qca9206"}, {"flash", "1024"}});
  ASSERT_TRUE(reply["ok"]) << reply.dump();
  const json modules = bench.handle({{"cmd", "state"}})["modules"];
  ASSERT_EQ(modules.size(), 2u);
  EXPECT_EQ(modules[0]["flash"], "512") << "the platform's first size is the default";
  EXPECT_EQ(modules[1]["flash"], "1024");

  for (const json& request : {json{{"cmd", "plug"}, {"platform", "Qca9206"}, {"flash", "2048"}},
                              json{{"cmd", "plug"}, {"platform", "Qca9206"}, {"flash", 512}},
                              json{{"cmd", "plug"}, {"platform", "Qca9x07"}, {"flash", "512"}}}) {
    EXPECT_FALSE(bench.handle(request)["ok"]) << request.dump();
  }
  EXPECT_EQ(bench.modules().size(), 2u);
}

TEST(FlashSize, TheDeviceQueryNamesTheSize) {
  AtState state;
  state.flashId = "1024";
  const AtOutcome outcome = answerAtCommand("AT+CDEVICE?", state, ModuleFaults{});
  EXPECT_NE(outcome.reply.find("Device: 1024\r"), std::string::npos) << outcome.reply;
}

}  // namespace
}  // namespace sim
