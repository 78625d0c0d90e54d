#include "at_reply_peer.h"

#include "fuzz_support.h"
#include "host/device_directory.h"

namespace fuzz {

AtReplyPeer::AtReplyPeer(size_t padTo) : padTo_(padTo) {
  peer_ = std::make_unique<test_support::PtyPeer>(
      [this](const std::string& command) { return answer(command); });
  devices().addSerialPort("Fuzz Module AT Port (COM7)", peer_->ttyPath(), kFuzzAtPort, false);
}

void AtReplyPeer::script(std::deque<std::string> replies) {
  std::lock_guard lock(mutex_);
  replies_ = std::move(replies);
  answered_ = 0;
}

std::string AtReplyPeer::answer(const std::string&) {
  std::string reply = "\r\nERROR\r\n";
  int number;
  {
    std::lock_guard lock(mutex_);
    if (!replies_.empty()) {
      reply = std::move(replies_.front());
      replies_.pop_front();
    }
    number = ++answered_;
  }
  if (reply.size() > padTo_) reply.resize(padTo_);
  reply.resize(padTo_, '\0');
  if (hook_) hook_(number);
  return reply;
}

}  // namespace fuzz
