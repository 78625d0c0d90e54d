#pragma once
// A module's AT port for the AT fuzz targets: a pty on COM kFuzzAtPort whose far end answers
// each command line with the next scripted reply. A reply is padded with NUL bytes to the
// size the station reads in one go, so the read ends at once instead of at its time-out; the
// station sees text only up to the first NUL, so the padding changes nothing it parses.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "support/pty_peer.h"

namespace fuzz {

inline constexpr int kFuzzAtPort = 7;

class AtReplyPeer {
 public:
  // `padTo`: the size of one read of the code under test. `answered` is called on the peer's
  // thread after each answer.
  explicit AtReplyPeer(size_t padTo);

  // The replies for the next commands, in order; once they run out every command is answered
  // with "ERROR".
  void script(std::deque<std::string> replies);
  // Called with the number of the answer just written (from 1).
  void onAnswer(std::function<void(int)> hook) { hook_ = std::move(hook); }

 private:
  std::string answer(const std::string& command);

  size_t padTo_;
  std::mutex mutex_;
  std::deque<std::string> replies_;
  int answered_ = 0;
  std::function<void(int)> hook_;
  std::unique_ptr<test_support::PtyPeer> peer_;
};

}  // namespace fuzz
