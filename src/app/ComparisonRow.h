#pragma once

#include "FileEntry.h"

#include <QString>
#include <optional>

// One path of a folder comparison, with what each side holds there. Its identity is its path.
struct ComparisonRow {
    // Relative to both roots, "/"-separated, without a leading "/".
    QString path;
    std::optional<FileEntry> local;
    std::optional<FileEntry> remote;

    const QString& id() const { return path; }
    bool operator==(const ComparisonRow&) const = default;

    // The catalogue key of the verdict: "remote_only", "local_only", "different", "folder",
    // "unknown", "same_metadata" or "compare_size_only".
    QString statusKey() const;
    // The verdict in the interface language.
    QString status() const;
};
