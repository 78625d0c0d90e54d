#include "ui/qt/qt_surface.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QThread>

#include "ui/qt/dialogs.h"
#include "ui/qt/dut_row.h"
#include "ui/qt/file_panel_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"

QtSurface::QtSurface(MainWindow& window, FilePanelDialog& filePanel)
    : window_(window), filePanel_(filePanel), opener_(&QDesktopServices::openUrl) {}

void QtSurface::detach() {
  attached_ = false;
}

bool QtSurface::onGuiThread() const {
  return QThread::currentThread() == context_.thread();
}

void QtSurface::onGui(const std::function<void()>& change) {
  if (onGuiThread()) {
    change();
    return;
  }
  if (!attached_) return;
  QMetaObject::invokeMethod(&context_, change, Qt::BlockingQueuedConnection);
}

void QtSurface::postToGui(std::function<void()> change) {
  if (onGuiThread()) {
    change();
    return;
  }
  if (!attached_) return;
  QMetaObject::invokeMethod(&context_, std::move(change), Qt::QueuedConnection);
}

QWidget* QtSurface::dialogParent() const {
  if (filePanel_.isVisible()) return &filePanel_;
  return &window_;
}

void QtSurface::setDutCount(int count) {
  onGui([&] { window_.setDutCount(count); });
}

void QtSurface::setDutMessage(int dut, const std::string& text) {
  onGui([&] {
    if (DutRow* row = window_.dutRowOf(dut)) row->setMessage(toQt(text));
  });
}

void QtSurface::setDutProgress(int dut, double percent, const std::string& caption) {
  onGui([&] {
    if (DutRow* row = window_.dutRowOf(dut)) row->setProgress(percent, toQt(caption));
  });
}

void QtSurface::setDutStatus(int dut, int status, host::Rgb lamp, bool lampOn, host::Rgb text) {
  onGui([&] {
    if (DutRow* row = window_.dutRowOf(dut)) row->setStatus(toQColor(lamp), lampOn, toQColor(text));
  });
}

void QtSurface::messageBox(const std::string& title, const std::string& text) {
  onGui([&] { showMessageBox(dialogParent(), title, text); });
}

void QtSurface::setDutTime(int dut, const std::string& text) {
  postToGui([this, dut, shown = toQt(text)] {
    if (DutRow* row = window_.dutRowOf(dut)) row->setTime(shown);
  });
}

void QtSurface::setDutPorts(int dut, const std::vector<std::string>& items) {
  QStringList shown;
  for (const std::string& item : items) shown << toQt(item);
  onGui([&] {
    if (DutRow* row = window_.dutRowOf(dut)) row->setPorts(shown);
  });
}

void QtSurface::setControl(host::Control control, const host::ControlState& state) {
  onGui([&] { window_.applyControl(control, state); });
}

void QtSurface::setControlLabel(host::Control control, const std::string& label) {
  onGui([&] { window_.setControlLabel(control, toQt(label)); });
}

void QtSurface::setTitle(const std::string& text) {
  onGui([&] { window_.setWindowTitle(toQt(text)); });
}

void QtSurface::setVersionText(const std::string& text) {
  onGui([&] { window_.setVersionText(toQt(text)); });
}

void QtSurface::setFolderText(const std::string& text) {
  onGui([&] { window_.setFolderText(toQt(text)); });
}

void QtSurface::setQmbnText(const std::string& text) {
  onGui([&] { window_.setQmbnText(toQt(text)); });
}

void QtSurface::setWaitCursor(bool on) {
  onGui([&] {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    if (on) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

void QtSurface::setFileTable(const std::vector<host::FileRow>& rows) {
  onGui([&] { filePanel_.setRows(rows); });
}

void QtSurface::showFilePanel(bool visible) {
  onGui([&] { filePanel_.showPanel(visible); });
}

std::optional<std::string> QtSurface::chooseFile(const host::FileChooserRequest& request) {
  std::optional<std::string> chosen;
  onGui([&] { chosen = showFileChooser(dialogParent(), request); });
  return chosen;
}

std::optional<std::string> QtSurface::browseFolder(const host::FolderBrowserRequest& request) {
  std::optional<std::string> chosen;
  onGui([&] { chosen = showFolderBrowser(dialogParent(), request); });
  return chosen;
}

void QtSurface::openDocument(const std::string& path) {
  const QString text = toQt(path);
  // A document named by a URL goes as it is; a file path (relative to the working folder, as
  // the station's files are) becomes a file URL.
  const QUrl url =
      text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
  onGui([&] {
    if (opener_) opener_(url);
  });
}
