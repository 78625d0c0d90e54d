#pragma once
// Ground for the report tests: each runs in a fresh working directory (the DUT logs land
// there) with a surface installed that records what the DUT rows and boxes showed.

#include <gtest/gtest.h>

#include "host/operator_surface.h"
#include "support/recording_surface.h"
#include "support/temporary_folder.h"

class ReportFixture : public ::testing::Test {
 protected:
  void SetUp() override { host::installSurface(&surface_); }
  void TearDown() override { host::installSurface(nullptr); }

  test_support::WorkingFolder folder_{"zendral-report"};
  test_support::RecordingSurface surface_;
};
