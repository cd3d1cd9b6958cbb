#pragma once

#include "ConflictAction.h"
#include "FileEntry.h"

#include <QString>

// A transfer whose destination already exists: what is being sent and what is in the way.
struct TransferConflict {
    bool upload = true;
    QString local;
    QString remote;
    FileEntry source;
    FileEntry target;

    // Only a file can continue into a non-empty, strictly shorter file of known size.
    bool canResume() const;
    // The single rule both the dialog and the planner follow for which answers make sense.
    bool allows(ConflictAction action) const;
};
