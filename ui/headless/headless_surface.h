#pragma once
// The operator surface without a window: every change is written at once as one JSON object
// per line (and flushed), and the dialogs take their answers from the operator's input instead
// of showing. A dialog without an answer is cancelled; it never waits.

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/operator_surface.h"

class HeadlessSurface : public host::OperatorSurface {
 public:
  // Writes to `out` (not owned).
  explicit HeadlessSurface(std::FILE* out) : out_(out) {}

  // An answer for the next file chooser or folder browser the station opens by itself:
  // a path, or nullopt for cancel.
  void queueAnswer(std::optional<std::string> answer);
  // The answer of the dialog that the operator's current click opens; it takes precedence over
  // queued answers and is forgotten by clearImmediateAnswer() whether or not a dialog used it.
  void setImmediateAnswer(std::optional<std::string> answer);
  void clearImmediateAnswer();

  // Writes one event; its fields keep their order ("event" first).
  using Event = nlohmann::ordered_json;
  void emit(const Event& event);

  void setDutMessage(int dut, const std::string& text) override;
  void setDutProgress(int dut, double percent, const std::string& caption) override;
  void setDutStatus(int dut, int status, host::Rgb lamp, bool lampOn, host::Rgb text) override;
  void messageBox(const std::string& title, const std::string& text) override;
  void setDutTime(int dut, const std::string& text) override;
  void setDutPorts(int dut, const std::vector<std::string>& items) override;
  void setControl(host::Control control, const host::ControlState& state) override;
  void setControlLabel(host::Control control, const std::string& label) override;
  void setTitle(const std::string& text) override;
  void setVersionText(const std::string& text) override;
  void setFolderText(const std::string& text) override;
  void setQmbnText(const std::string& text) override;
  void setWaitCursor(bool on) override;
  void setFileTable(const std::vector<host::FileRow>& rows) override;
  void showFilePanel(bool visible) override;
  std::optional<std::string> chooseFile(const host::FileChooserRequest& request) override;
  std::optional<std::string> browseFolder(const host::FolderBrowserRequest& request) override;
  void openDocument(const std::string& path) override;

 private:
  // The answer for a dialog that opens now.
  std::optional<std::string> takeAnswer();

  std::FILE* out_;
  std::mutex outMutex_;
  std::mutex answersMutex_;
  std::deque<std::optional<std::string>> queued_;
  bool hasImmediate_ = false;
  std::optional<std::string> immediate_;
};
