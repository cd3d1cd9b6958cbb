#pragma once

#include <QFileDialog>
#include <QFuture>
#include <QString>
#include <optional>

class QWidget;

// The program's own file chooser rather than the desktop's, so that it is placed like every other
// dialog and its controls are in the program's accessibility tree.
namespace FileChooser {

// A file or folder (by `mode`), starting at `start`; no answer means cancelled.
QFuture<std::optional<QString>> choose(QWidget* parent, const QString& title, const QString& start,
                                       QFileDialog::FileMode mode);

} // namespace FileChooser
