#include "ui/headless/headless_surface.h"

using json = HeadlessSurface::Event;

void HeadlessSurface::queueAnswer(std::optional<std::string> answer) {
  std::lock_guard lock(answersMutex_);
  queued_.push_back(std::move(answer));
}

void HeadlessSurface::setImmediateAnswer(std::optional<std::string> answer) {
  std::lock_guard lock(answersMutex_);
  hasImmediate_ = true;
  immediate_ = std::move(answer);
}

void HeadlessSurface::clearImmediateAnswer() {
  std::lock_guard lock(answersMutex_);
  hasImmediate_ = false;
  immediate_.reset();
}

std::optional<std::string> HeadlessSurface::takeAnswer() {
  std::lock_guard lock(answersMutex_);
  if (hasImmediate_) {
    hasImmediate_ = false;
    return std::exchange(immediate_, std::nullopt);
  }
  if (queued_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(queued_.front());
  queued_.pop_front();
  return answer;
}

void HeadlessSurface::emit(const Event& event) {
  // Texts come from files and the module: bytes that are not UTF-8 are replaced, not refused.
  std::string line = event.dump(-1, ' ', false, json::error_handler_t::replace);
  std::lock_guard lock(outMutex_);
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void HeadlessSurface::setDutMessage(int dut, const std::string& text) {
  emit({{"event", "message"}, {"dut", dut}, {"text", text}});
}

void HeadlessSurface::setDutProgress(int dut, double percent, const std::string& caption) {
  emit({{"event", "progress"}, {"dut", dut}, {"value", percent}, {"caption", caption}});
}

void HeadlessSurface::setDutStatus(int dut, int status, host::Rgb lamp, bool lampOn,
                                   host::Rgb text) {
  emit({{"event", "status"},
        {"dut", dut},
        {"value", status},
        {"lamp", host::colourName(lamp)},
        {"lit", lampOn},
        {"textColour", host::colourName(text)}});
}

void HeadlessSurface::messageBox(const std::string& title, const std::string& text) {
  emit({{"event", "box"}, {"title", title}, {"text", text}});
}

void HeadlessSurface::setDutTime(int dut, const std::string& text) {
  emit({{"event", "time"}, {"dut", dut}, {"text", text}});
}

void HeadlessSurface::setDutPorts(int dut, const std::vector<std::string>& items) {
  emit({{"event", "ports"}, {"dut", dut}, {"items", items}});
}

void HeadlessSurface::setControl(host::Control control, const host::ControlState& state) {
  emit({{"event", "control"},
        {"name", host::controlName(control)},
        {"visible", state.visible},
        {"dimmed", state.dimmed},
        {"checked", state.checked}});
}

void HeadlessSurface::setControlLabel(host::Control control, const std::string& label) {
  emit({{"event", "label"}, {"name", host::controlName(control)}, {"text", label}});
}

void HeadlessSurface::setTitle(const std::string& text) {
  emit({{"event", "title"}, {"text", text}});
}

void HeadlessSurface::setVersionText(const std::string& text) {
  emit({{"event", "version"}, {"text", text}});
}

void HeadlessSurface::setFolderText(const std::string& text) {
  emit({{"event", "folder"}, {"text", text}});
}

void HeadlessSurface::setQmbnText(const std::string& text) {
  emit({{"event", "qmbn"}, {"text", text}});
}

void HeadlessSurface::setWaitCursor(bool on) {
  emit({{"event", "cursor"}, {"wait", on}});
}

void HeadlessSurface::setFileTable(const std::vector<host::FileRow>& rows) {
  json list = json::array();
  for (const host::FileRow& row : rows) {
    list.push_back({{"label", row.label},
                    {"path", row.path},
                    {"colour", row.colour ? host::colourName(*row.colour) : ""}});
  }
  emit({{"event", "table"}, {"rows", list}});
}

void HeadlessSurface::showFilePanel(bool visible) {
  emit({{"event", "filepanel"}, {"visible", visible}});
}

std::optional<std::string> HeadlessSurface::chooseFile(const host::FileChooserRequest& request) {
  emit({{"event", "chooser"},
        {"kind", "file"},
        {"title", request.title},
        {"pattern", request.pattern},
        {"dir", request.directory}});
  return takeAnswer();
}

std::optional<std::string> HeadlessSurface::browseFolder(
    const host::FolderBrowserRequest& request) {
  std::string selection;
  if (request.onInitialised) request.onInitialised(selection);
  emit({{"event", "chooser"},
        {"kind", "folder"},
        {"title", request.title},
        {"pattern", ""},
        {"dir", selection}});
  return takeAnswer();
}

void HeadlessSurface::openDocument(const std::string& path) {
  emit({{"event", "open"}, {"path", path}});
}
