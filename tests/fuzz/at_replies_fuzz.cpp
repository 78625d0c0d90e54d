// The AT reply parsers: IMEI, MEID, CFUN, EFS backup state, flash id, revisions, the 9011
// query and the NV writes, each through a real exchange on a pty. Every reply is the next of
// the fuzzer's records; whatever comes back, each service ends with its result.

#include <cstring>
#include <deque>
#include <string>

#include "at_reply_peer.h"
#include "fuzz_support.h"
#include "host/station_options.h"
#include "platform/at_commands.h"
#include "platform/platform.h"
#include "platform/platform_settings.h"
#include "platform/slot_record.h"

namespace {

// The size SetAtCmd reads in one go.
constexpr size_t kReplyRead = 256;

fuzz::AtReplyPeer* gPeer = nullptr;

DownloadRequest requestOnFuzzPort() {
  DownloadRequest request{};
  request.slot = 1;
  request.atport = fuzz::kFuzzAtPort;
  std::memcpy(request.imei, "357000000000001", 15);
  std::memcpy(request.meid, "A0000000000001", 14);
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("at_replies");
  gPeer = new fuzz::AtReplyPeer(kReplyRead);
  checkCFUNStr = "+CFUN: 1";
  sDstVersionType = "HALVO_R01";
  gProcessMeid = true;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::deque<std::string> replies;
  for (std::string_view record : fuzz::records(data, size, 48)) replies.emplace_back(record);
  gPeer->script(std::move(replies));
  resetSlotRecords();

  DownloadRequest request = requestOnFuzzPort();
  std::string text;
  int is9011 = 0;
  CheckCFUN(request);
  readIMEI(request, text);
  readMEID(request, text);
  ReadImeiAndMeid(request);
  writeIMEI(request);
  writeMEID(request);
  CheckEfs2(request);
  ReadDeviceInfo(request, &text);
  ReadVersionInfo(request, &text);
  IfNeedUpdateVersion(request);
  WriteNvItem(request);
  CheckIf9011(request, is9011);
  BackupEfs2(request, kQca9x07);
  return 0;
}
