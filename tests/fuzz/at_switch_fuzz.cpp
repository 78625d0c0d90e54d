// The replies to the AT switch to fastboot ("at+bootldr"): whatever the module answers, the
// switch ends with a result and frees the AT port. The module leaves (its presence flag drops)
// after its second answer, so a run makes at most two attempts. Each attempt first reads what
// the port holds, which waits for the read's time-out: this target is slow by nature.

#include <deque>
#include <string>

#include "at_reply_peer.h"
#include "fuzz_support.h"
#include "platform/slot_record.h"
#include "station/auxiliary_tasks.h"

namespace {

// The size the switch reads in one go.
constexpr size_t kSwitchRead = 255;

fuzz::AtReplyPeer* gPeer = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("at_switch");
  gPeer = new fuzz::AtReplyPeer(kSwitchRead);
  gPeer->onAnswer([](int number) {
    if (number >= 2) __atomic_store_n(&gThreadData[0].present, 0, __ATOMIC_SEQ_CST);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::deque<std::string> replies;
  for (std::string_view record : fuzz::records(data, size, 4)) replies.emplace_back(record);
  gPeer->script(std::move(replies));
  resetSlotRecords();
  ThreadData& slot = gThreadData[0];
  slot.slot = 1;
  slot.atport = fuzz::kFuzzAtPort;
  slot.present = 1;
  ToFastbootThreadFunction(&slot);
  if (slot.atBusy != 0) fuzz::fail("the switch left the AT port marked busy");
  return 0;
}
