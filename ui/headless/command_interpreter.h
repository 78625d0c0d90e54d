#pragma once
// The operator's actions of the headless station, one per line:
//   start | stop | quit
//   platform Qca6270|Qca6695|Qca9206|Qca9x15|Qca9x07|Qca8909
//   check backup|aponly|qcnonly on|off
//   folder PATH|cancel         (click row 1 of the file table, then answer the folder browser)
//   file ROW PATH|cancel       (click row ROW of the file table, then answer the file chooser)
//   answer PATH|cancel         (answer for the next dialog the station opens by itself)
//   close-files                (the file panel's close control)
//   help                       (the Help menu item: opens the configured help document)
// An action the window would not allow (a hidden or dimmed control, the main panel while the
// modal file panel is shown, the file panel while it is hidden) is refused with a "refused"
// event. Runs on the UI thread.

#include <deque>
#include <string>

#include "ui/headless/headless_surface.h"

class CommandInterpreter {
 public:
  explicit CommandInterpreter(HeadlessSurface& surface) : surface_(surface) {}

  // Carries out `line` after the lines submitted before it. A line that arrives while an
  // action is still running (Stop keeps the UI loop going while it waits for a worker) waits
  // until that action has finished, as the operator's next click would.
  void submit(const std::string& line);

  // Carries out one line now. Lines after a quit, and lines that arrive when the station is not
  // running, are ignored.
  void execute(const std::string& line);

  bool quitRequested() const { return quit_; }

 private:
  void refuse(const std::string& line, const std::string& reason);
  // Refuses (and returns false) while the file panel is shown, or (for `filePanel`) hidden.
  bool checkPanel(const std::string& line, bool filePanel);
  bool checkUsable(const std::string& line, host::Control control);

  void runListener(const std::string& line, bool start);
  void runPlatform(const std::string& line, const std::string& name);
  void runCheck(const std::string& line, const std::string& arguments);
  void runTableClick(const std::string& line, int row, const std::string& answer);
  void runFile(const std::string& line, const std::string& arguments);

  HeadlessSurface& surface_;
  bool quit_ = false;
  std::deque<std::string> pending_;
  bool draining_ = false;
};
