#include "ui/qt/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/qt/qt_text.h"

namespace {

// The nearest folder that exists, walking up from `path`; empty when none does.
QString nearestExistingFolder(const QString& path) {
  if (path.isEmpty()) return {};
  QFileInfo info(path);
  QString candidate = info.absoluteFilePath();
  while (!candidate.isEmpty()) {
    if (QFileInfo(candidate).isDir()) return candidate;
    const QString parent = QFileInfo(candidate).absolutePath();
    if (parent == candidate) break;
    candidate = parent;
  }
  return {};
}

std::optional<std::string> firstSelection(const QFileDialog& dialog) {
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return fromQt(chosen.first());
}

}  // namespace

QStringList nameFiltersOf(const std::string& pattern) {
  QStringList filters;
  for (const QString& part : toQt(pattern).split(';', Qt::SkipEmptyParts)) {
    const QString trimmed = part.trimmed();
    if (trimmed.isEmpty()) continue;
    filters << (trimmed == "*.*" ? QString("*") : trimmed);
  }
  if (filters.isEmpty()) filters << "*";
  return filters;
}

void showMessageBox(QWidget* parent, const std::string& title, const std::string& text) {
  const QString qtTitle = toQt(title);
  // The station's error boxes are titled "error", "Error" or "XML Error".
  const bool isError = qtTitle.contains("error", Qt::CaseInsensitive);
  QMessageBox box(isError ? QMessageBox::Critical : QMessageBox::Information, qtTitle, toQt(text),
                  QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::optional<std::string> showFileChooser(QWidget* parent,
                                           const host::FileChooserRequest& request) {
  QFileDialog dialog(parent, toQt(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setLabelText(QFileDialog::Accept, "Select");
  dialog.setNameFilter(nameFiltersOf(request.pattern).join(' '));
  const QString start = nearestExistingFolder(toQt(request.directory));
  if (!start.isEmpty()) dialog.setDirectory(start);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return firstSelection(dialog);
}

std::optional<std::string> showFolderBrowser(QWidget* parent,
                                             const host::FolderBrowserRequest& request) {
  QFileDialog dialog(parent, toQt(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setLabelText(QFileDialog::Accept, "Select");
  std::string selection;
  if (request.onInitialised) request.onInitialised(selection);
  const QString start = nearestExistingFolder(toQt(selection));
  if (!start.isEmpty()) dialog.setDirectory(start);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return firstSelection(dialog);
}
