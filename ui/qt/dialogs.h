#pragma once
// The station's modal dialogs on the desktop: message boxes, the file chooser and the folder
// browser. They use Qt's own dialogs (the same on every desktop and on line PCs) and run on the
// GUI thread.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "host/operator_surface.h"

class QWidget;

// The name filters of a chooser pattern: ";" separates several patterns; "*.*" means every
// file, as it does on the desktop the patterns were written for. An empty pattern is "*".
QStringList nameFiltersOf(const std::string& pattern);

// A message box owned by `parent` with `title` and `text`; returns when it is closed.
void showMessageBox(QWidget* parent, const std::string& title, const std::string& text);

// A file chooser for one existing file, starting in the request's folder. The chosen path, or
// nullopt when cancelled.
std::optional<std::string> showFileChooser(QWidget* parent,
                                           const host::FileChooserRequest& request);

// A folder browser. The request's onInitialised picks the folder it opens on (a folder that
// does not exist opens its nearest existing parent). The chosen folder, or nullopt.
std::optional<std::string> showFolderBrowser(QWidget* parent,
                                             const host::FolderBrowserRequest& request);
