#include "ui/headless/command_interpreter.h"

#include <charconv>
#include <optional>

#include "station/file_panel.h"
#include "station/listener.h"
#include "station/main_panel.h"
#include "station/options.h"
#include "station/platform_menu.h"
#include "station/startup.h"
#include "station/station_state.h"

namespace {

using host::Control;

// Splits off the first word; `rest` gets the text after the blanks that follow it.
std::string firstWord(const std::string& text, std::string& rest) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) {
    rest.clear();
    return {};
  }
  size_t end = text.find(' ', start);
  if (end == std::string::npos) {
    rest.clear();
    return text.substr(start);
  }
  size_t next = text.find_first_not_of(' ', end);
  rest = next == std::string::npos ? "" : text.substr(next);
  return text.substr(start, end - start);
}

// A dialog answer: "cancel" cancels, anything else is the path.
std::optional<std::string> answerOf(const std::string& text) {
  if (text == "cancel") return std::nullopt;
  return text;
}

}  // namespace

void CommandInterpreter::submit(const std::string& line) {
  pending_.push_back(line);
  if (draining_) return;
  draining_ = true;
  while (!pending_.empty()) {
    std::string next = std::move(pending_.front());
    pending_.pop_front();
    execute(next);
  }
  draining_ = false;
}

void CommandInterpreter::execute(const std::string& rawLine) {
  if (quit_ || !stationRunning()) return;
  std::string line = rawLine;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  std::string rest;
  std::string verb = firstWord(line, rest);
  if (verb.empty()) return;

  if (verb == "quit" && rest.empty()) {
    quit_ = true;
    panelCB(kPanelCloseEvent);
  } else if ((verb == "start" || verb == "stop") && rest.empty()) {
    runListener(line, verb == "start");
  } else if (verb == "platform" && !rest.empty()) {
    runPlatform(line, rest);
  } else if (verb == "check" && !rest.empty()) {
    runCheck(line, rest);
  } else if (verb == "folder" && !rest.empty()) {
    runTableClick(line, 1, rest);
  } else if (verb == "file" && !rest.empty()) {
    runFile(line, rest);
  } else if (verb == "answer" && !rest.empty()) {
    surface_.queueAnswer(answerOf(rest));
  } else if (verb == "help" && rest.empty()) {
    if (checkPanel(line, false)) fnMenuAboutHlpCB();
  } else if (verb == "close-files" && rest.empty()) {
    if (checkPanel(line, true)) FilePanelQuit();
  } else {
    refuse(line, "unknown action");
  }
}

void CommandInterpreter::refuse(const std::string& line, const std::string& reason) {
  surface_.emit({{"event", "refused"}, {"action", line}, {"reason", reason}});
}

bool CommandInterpreter::checkPanel(const std::string& line, bool filePanel) {
  bool shown = mainPanel().filePanelShown();
  if (shown == filePanel) return true;
  refuse(line, filePanel ? "the file panel is not shown" : "the file panel is shown");
  return false;
}

bool CommandInterpreter::checkUsable(const std::string& line, Control control) {
  if (mainPanel().usable(control)) return true;
  refuse(line, mainPanel().state(control).visible ? "dimmed" : "hidden");
  return false;
}

void CommandInterpreter::runListener(const std::string& line, bool start) {
  Control control = start ? Control::Start : Control::Stop;
  if (!checkPanel(line, false) || !checkUsable(line, control)) return;
  fnListenerCB(start ? ListenerItem::Start : ListenerItem::Stop);
}

void CommandInterpreter::runPlatform(const std::string& line, const std::string& name) {
  std::optional<Control> item = host::controlFromName(name);
  if (!item || !platformMenuItem(*item)) return refuse(line, "unknown platform");
  if (!checkPanel(line, false) || !checkUsable(line, *item)) return;
  fnSelectPlatformCB(*item);
}

void CommandInterpreter::runCheck(const std::string& line, const std::string& arguments) {
  std::string value;
  std::string box = firstWord(arguments, value);
  if (value != "on" && value != "off") return refuse(line, "expected on or off");
  int (*commit)(bool) = nullptr;
  Control control;
  if (box == "backup") {
    control = Control::BackupRestoreQcn;
    commit = fnBackupQcn;
  } else if (box == "aponly") {
    control = Control::OnlyAp;
    commit = fnOnlyAP;
  } else if (box == "qcnonly") {
    control = Control::OnlyQcn;
    commit = fnOnlyQCN;
  } else {
    return refuse(line, "unknown box");
  }
  if (!checkPanel(line, false) || !checkUsable(line, control)) return;
  commit(value == "on");
}

void CommandInterpreter::runTableClick(const std::string& line, int row,
                                       const std::string& answer) {
  if (!checkPanel(line, true)) return;
  surface_.setImmediateAnswer(answerOf(answer));
  TableCB(row, 2);
  surface_.clearImmediateAnswer();
}

void CommandInterpreter::runFile(const std::string& line, const std::string& arguments) {
  std::string answer;
  std::string rowText = firstWord(arguments, answer);
  int row = 0;
  auto [end, error] = std::from_chars(rowText.data(), rowText.data() + rowText.size(), row);
  if (error != std::errc() || end != rowText.data() + rowText.size() || row < 1 || answer.empty()) {
    return refuse(line, "expected a row number and a path or cancel");
  }
  if (!gFileTable.hasRow(row)) return refuse(line, "no such row");
  runTableClick(line, row, answer);
}
