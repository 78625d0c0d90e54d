#pragma once
// The frame of the CP download tests: the scripted library installed, slot 1 present on its
// diagnostic port, a request naming every port, the binding, the slot, the options and the
// Sahara lock at their start-up values; and the check that a run left nothing open.

#include "chipset_test_support.h"
#include "fake_download_library.h"
#include "platform/platform.h"

namespace chipset_test {

class CpDownloadTest : public ChipsetTest {
 protected:
  static constexpr int kDiagCom = 5;
  static constexpr int kAtCom = 6;
  static constexpr int k9008Com = 7;
  static constexpr int k9009Com = 9;

  void SetUp() override;
  void TearDown() override;

  static FakeDownloadModule& module() { return fakeDownloadModule(); }

  // Nothing of the run is left open: connections, the handle map, the Sahara lock.
  void expectNothingLeftOpen() const;

  DownloadRequest request_{};
};

}  // namespace chipset_test
