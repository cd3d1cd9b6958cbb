#pragma once

#include "FileSortComparator.h"

#include <QUuid>

// The choices of how the window shows things that outlive the process: hidden files, each pane's
// sort order and the profile selected in the sidebar ("showHidden", "localSortOrder",
// "remoteSortOrder", "selectedProfileID" in the preferences). A value that cannot be read, from a
// hand-edited file or an older version, reads as the default.
namespace ViewChoices {

bool storedShowHidden();
void storeShowHidden(bool show);
FileSortComparator storedSortOrder(bool local);
void storeSortOrder(bool local, const FileSortComparator& order);
// Null when none is stored; whether it still names a profile is for the caller to check.
QUuid storedProfileID();
void storeProfileID(const QUuid& id);

} // namespace ViewChoices
