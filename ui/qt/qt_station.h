#pragma once
// The station with its Qt window: the main panel and the file panel, the operator surface that
// draws into them, and the station's UI loop driven by Qt's event loop. A QApplication must
// exist. run() runs the station on the calling (GUI) thread until the main panel is closed.

#include <memory>

class MainWindow;
class FilePanelDialog;
class QtSurface;
class QtLoopDriver;
class OperatorActions;

class QtStation {
 public:
  QtStation();
  ~QtStation();
  QtStation(const QtStation&) = delete;
  QtStation& operator=(const QtStation&) = delete;

  // Shows the window, runs the station until its main panel is closed (or SIGINT, SIGTERM or
  // SIGHUP arrives), and hides the window. Returns the station's exit code.
  int run();

  MainWindow& window() const { return *window_; }
  FilePanelDialog& filePanel() const { return *filePanel_; }
  QtSurface& surface() const { return *surface_; }
  OperatorActions& actions() const { return *actions_; }

 private:
  void closeOnSignal();

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<FilePanelDialog> filePanel_;
  std::unique_ptr<QtSurface> surface_;
  std::unique_ptr<QtLoopDriver> driver_;
  std::unique_ptr<OperatorActions> actions_;
};
