// Fastboot reply handling: a queue with every kind of step (notice, variable display and checks,
// erase, a flash cut into pieces, a download, a command, reboot) runs over a link whose replies
// are the fuzzer's records. Whatever the loader answers, the queue ends with a result and the
// transport is released; the link reports a vanished device once the replies run out, so no
// wait is left open.

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "fastboot/transport.h"
#include "fuzz_support.h"

namespace {

// A device whose every read returns the next scripted reply (cut to what the read asks for),
// and which is gone once the script ends. Writes always go through.
class ScriptedReplies : public fastboot::UsbLink {
 public:
  explicit ScriptedReplies(std::deque<std::string> replies) : replies_(std::move(replies)) {}

  bool readDescriptors(fastboot::UsbDescriptors& d) override {
    d = fastboot::moduleFastbootDescriptors();
    return true;
  }
  bool readSerialNumber(std::string& serial) override {
    serial = "FUZZ0001";
    return true;
  }
  long bulkWrite(const uint8_t*, size_t length, unsigned, int&) override {
    return static_cast<long>(length);
  }
  long bulkRead(uint8_t* buffer, size_t length, unsigned, int& error) override {
    if (replies_.empty()) {
      error = kUsbErrorInvalidHandle;
      return -1;
    }
    const std::string reply = std::move(replies_.front());
    replies_.pop_front();
    const size_t n = std::min(length, reply.size());
    std::memcpy(buffer, reply.data(), n);
    return static_cast<long>(n);
  }

 private:
  std::deque<std::string> replies_;
};

uint8_t gImage[300];

void buildQueue() {
  for (size_t i = 0; i < sizeof gImage; ++i) gImage[i] = static_cast<uint8_t>(i * 7);
  fb_set_flash_piece_limit(128);  // the image goes as flash + flashC pieces
  queue_action_clear();
  fb_queue_notice("fuzzing the replies");
  fb_queue_display("version-bootloader", "Bootloader Version");
  const char* const products[] = {"mdm9607", "sdx*"};
  fb_queue_require("product", 0, 2, products);
  const char* const rejected[] = {"locked"};
  fb_queue_require("secure", 1, 1, rejected);
  fb_queue_erase("cache");
  fb_queue_flash("boot", gImage, sizeof gImage);
  fb_queue_download("signature", gImage, 16);
  fb_queue_command("oem unlock", "unlocking");
  fb_queue_reboot();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("fastboot");
  buildQueue();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::deque<std::string> replies;
  for (std::string_view record : fuzz::records(data, size, 64)) replies.emplace_back(record);
  fb_transport* transport =
      usb_adopt_link(std::make_unique<ScriptedReplies>(std::move(replies)), "fuzz");
  if (!transport) fuzz::fail("a link cannot be adopted");
  fb_execute_queue(1, transport, sizeof gImage + 16, 0.0);
  usb_close(transport);
  return 0;
}
