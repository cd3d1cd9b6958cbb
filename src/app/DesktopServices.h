#pragma once

#include "DesktopApplication.h"

#include <QFuture>
#include <QList>
#include <QString>

// The desktop's ways of opening files: its installed applications (through GIO, which reads the
// desktop entries and knows their field codes, quoting and terminals) and its file manager.
namespace DesktopServices {

// The applications that can open `file`: those that declare its MIME type first, the desktop's
// default for it at the top, then every other shown application by name.
QList<DesktopApplication> applicationsFor(const QString& file);
// Opens `file` with the application of that desktop id. Throws FTPError with the desktop's
// message when it cannot.
void launch(const QString& applicationID, const QString& file);
// Opens a file or folder with the desktop's default application for it. Throws as launch().
void openWithDefault(const QString& path);
// Asks the file manager on the session bus to show the item selected in its folder, or opens the
// folder when no file manager answers. The future fails with FTPError when neither works.
QFuture<void> showInFileManager(const QString& path);

} // namespace DesktopServices
