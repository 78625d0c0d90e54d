#pragma once
// The operator surface drawn by the Qt window. Every change is made on the GUI thread: a call
// from there acts at once; a call from another thread (a worker, a library callback) is carried
// there as a blocking queued call and returns once the change is drawn or the dialog answered.
// The elapsed-time text is the exception: it is queued without waiting, because its callers
// hold the timer lock that the GUI thread's own ticks take. Queued calls keep their order.

#include <QObject>
#include <QUrl>
#include <atomic>
#include <functional>

#include "host/operator_surface.h"

class MainWindow;
class FilePanelDialog;

class QtSurface : public host::OperatorSurface {
 public:
  // Created on the GUI thread; draws into `window` and `filePanel` (not owned).
  QtSurface(MainWindow& window, FilePanelDialog& filePanel);

  // From now on calls from other threads are dropped: the GUI thread no longer answers them.
  void detach();

  // Opens the help document; the default hands it to the desktop's viewer for its type.
  using DocumentOpener = std::function<bool(const QUrl&)>;
  void setDocumentOpener(DocumentOpener opener) { opener_ = std::move(opener); }

  void setDutCount(int count) override;
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
  bool onGuiThread() const;
  // Runs `change` on the GUI thread and returns when it has run (dropped once detached).
  void onGui(const std::function<void()>& change);
  // Queues `change` for the GUI thread without waiting.
  void postToGui(std::function<void()> change);
  // The window a dialog belongs to: the modal file panel while it is shown, else the main panel.
  QWidget* dialogParent() const;

  MainWindow& window_;
  FilePanelDialog& filePanel_;
  QObject context_;
  std::atomic<bool> attached_{true};
  bool waitCursor_ = false;
  DocumentOpener opener_;
};
