// The simulated library build that lacks QLIB_QPHONEMS_FireHoseErase, loaded by its usual name
// from beside this program: the load fails with the function's box although no operation of
// the station calls that function.

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/qca_library.h"
#include "unit/platform_diag/diag_test_support.h"

namespace {

class MissingFunctionTest : public diag_test::LibraryTest {};

TEST_F(MissingFunctionTest, LoadFailsWithTheMissingFunctionsBox) {
  for (PlatformType type : {kQca9x07, kQca8909, kQca6270}) {
    platform_dispose();
    ASSERT_NE(platfrom_create_instance(type), nullptr);
    surface_.clear();
    EXPECT_EQ(qca_load_lib(0), -1);
    EXPECT_EQ(surface_.boxes(),
              std::vector<std::string>{"Error: QLIB_QPHONEMS_FireHoseErase func loaded false!"});
  }
}

}  // namespace
