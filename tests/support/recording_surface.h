#pragma once
// An operator surface that remembers every change of the DUT rows and every message box, in
// the order they came. Workers and library callbacks report from their own threads, so every
// record and every read is guarded.

#include <mutex>
#include <string>
#include <vector>

#include "host/colour.h"
#include "host/operator_surface.h"

namespace test_support {

class RecordingSurface : public host::OperatorSurface {
 public:
  // One change. `text` is the message, the progress caption, the status value in digits, the
  // box as "title: text", or the qmbn text.
  struct Call {
    std::string kind;  // "message", "progress", "status", "box" or "qmbn"
    int dut = 0;       // 0 for a box and the qmbn text
    std::string text;
    double percent = 0;  // progress
    int status = 0;      // status
    host::Rgb lamp{};
    bool lampOn = false;
    host::Rgb textColour{};
  };

  void setDutMessage(int dut, const std::string& text) override;
  void setDutProgress(int dut, double percent, const std::string& caption) override;
  void setDutStatus(int dut, int status, host::Rgb lamp, bool lampOn, host::Rgb text) override;
  void messageBox(const std::string& title, const std::string& text) override;
  void setQmbnText(const std::string& text) override;

  // Every change, or those of one kind.
  std::vector<Call> calls(const std::string& kind = "") const;
  std::vector<std::string> messages() const;
  std::vector<double> progress() const;
  std::vector<int> statuses() const;
  std::vector<std::string> boxes() const;
  std::vector<std::string> qmbnTexts() const;
  // Whether / how often the message line showed exactly `text`.
  bool showed(const std::string& text) const;
  size_t count(const std::string& text) const;

  void clear();

 private:
  void record(Call call);
  std::vector<std::string> texts(const std::string& kind) const;

  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

}  // namespace test_support
