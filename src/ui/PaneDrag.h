#pragma once

#include <QStringList>

class FilePane;
class QMimeData;

// What a drag of a pane's rows carries: the pane it started in, by identity within this running
// program, and the names dragged, which are the pane's selection.
namespace PaneDrag {

// The selected rows of `pane`; none without a selection.
QMimeData* rows(const FilePane& pane);
// Whether `data` carries rows of `pane` dragged in this program that are still its selection.
bool carriesSelectionOf(const QMimeData* data, const FilePane& pane);
// The files of this computer a drag from another program carries; none when it carries anything
// else.
QStringList localFiles(const QMimeData* data);

} // namespace PaneDrag
