#include "ui/qt/qt_station.h"

#include <QApplication>
#include <QDialog>

#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "station/startup.h"
#include "ui/qt/file_panel_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_loop_driver.h"
#include "ui/qt/qt_surface.h"
#include "ui/qt/termination_signals.h"

QtStation::QtStation()
    : window_(std::make_unique<MainWindow>()),
      filePanel_(std::make_unique<FilePanelDialog>(window_.get())),
      surface_(std::make_unique<QtSurface>(*window_, *filePanel_)),
      driver_(std::make_unique<QtLoopDriver>(host::uiLoop())),
      actions_(std::make_unique<OperatorActions>()) {
  OperatorActions* actions = actions_.get();
  window_->setHandlers({
      [actions](host::Control item) { actions->triggerItem(item); },
      [actions](host::Control box, bool checked) { actions->clickBox(box, checked); },
      [actions] { actions->triggerHelp(); },
      [actions] { actions->closeMainPanel(); },
  });
  filePanel_->setHandlers([actions](int row, int column) { actions->clickFileCell(row, column); },
                          [actions] { actions->closeFilePanel(); });
}

QtStation::~QtStation() = default;

void QtStation::closeOnSignal() {
  // A signal cannot wait for the operator: the dialogs the station waits on are cancelled
  // (the modal file panel is the station's to hide), then the station closes.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(widget);
    if (dialog && dialog != filePanel_.get() && dialog->isVisible() && dialog->isModal()) {
      dialog->reject();
    }
  }
  panelCB(kPanelCloseEvent);
}

int QtStation::run() {
  // The window closes when the station says so, not when Qt sees its last window go.
  const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
  QApplication::setQuitOnLastWindowClosed(false);
  host::EventLoop& loop = host::uiLoop();
  loop.setDriver(driver_.get());
  host::OperatorSurface* previous = host::installSurface(surface_.get());
  TerminationSignals closeOnTermination([this] { closeOnSignal(); });
  window_->show();
  const int code = stationMain();
  // Nothing processes calls from other threads from here on.
  surface_->detach();
  host::installSurface(previous);
  loop.setDriver(nullptr);
  filePanel_->hide();
  window_->hide();
  QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
  return code;
}
