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
    // A download's file size as the server listed it, which its progress counts towards. None for
    // an upload, a folder, and a symbolic link, whose listing gives no size.
    std::optional<qint64> listedSize;

    bool operator==(const PlannedTransfer&) const = default;
};
