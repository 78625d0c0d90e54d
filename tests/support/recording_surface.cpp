#include "support/recording_surface.h"

#include <algorithm>

namespace test_support {

void RecordingSurface::setDutMessage(int dut, const std::string& text) {
  record({.kind = "message", .dut = dut, .text = text});
}

void RecordingSurface::setDutProgress(int dut, double percent, const std::string& caption) {
  record({.kind = "progress", .dut = dut, .text = caption, .percent = percent});
}

void RecordingSurface::setDutStatus(int dut, int status, host::Rgb lamp, bool lampOn,
                                    host::Rgb text) {
  record({.kind = "status",
          .dut = dut,
          .text = std::to_string(status),
          .status = status,
          .lamp = lamp,
          .lampOn = lampOn,
          .textColour = text});
}

void RecordingSurface::messageBox(const std::string& title, const std::string& text) {
  record({.kind = "box", .text = title + ": " + text});
}

void RecordingSurface::setQmbnText(const std::string& text) {
  record({.kind = "qmbn", .text = text});
}

std::vector<RecordingSurface::Call> RecordingSurface::calls(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  if (kind.empty()) return calls_;
  std::vector<Call> found;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(found),
               [&](const Call& call) { return call.kind == kind; });
  return found;
}

std::vector<std::string> RecordingSurface::texts(const std::string& kind) const {
  std::vector<std::string> found;
  for (const Call& call : calls(kind)) found.push_back(call.text);
  return found;
}

std::vector<std::string> RecordingSurface::messages() const {
  return texts("message");
}

std::vector<std::string> RecordingSurface::boxes() const {
  return texts("box");
}

std::vector<std::string> RecordingSurface::qmbnTexts() const {
  return texts("qmbn");
}

std::vector<double> RecordingSurface::progress() const {
  std::vector<double> found;
  for (const Call& call : calls("progress")) found.push_back(call.percent);
  return found;
}

std::vector<int> RecordingSurface::statuses() const {
  std::vector<int> found;
  for (const Call& call : calls("status")) found.push_back(call.status);
  return found;
}

bool RecordingSurface::showed(const std::string& text) const {
  return count(text) > 0;
}

size_t RecordingSurface::count(const std::string& text) const {
  const std::vector<std::string> all = messages();
  return static_cast<size_t>(std::count(all.begin(), all.end(), text));
}

void RecordingSurface::clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

void RecordingSurface::record(Call call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

}  // namespace test_support
