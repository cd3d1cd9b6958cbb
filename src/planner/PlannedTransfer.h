#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// One folder to create or one file to copy, with its final destination already decided.
struct PlannedTransfer {
    QString local;
    QString remote;
    bool directory = false;
    bool exists = false;
    bool overwrite = false;
    std::optional<qint64> resumeOffset;

    bool operator==(const PlannedTransfer&) const = default;
};
