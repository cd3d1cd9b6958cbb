#pragma once

#include "FileEntry.h"
#include "TemporaryFolder.h"
#include "TransferPlanner.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Builds real trees on disk for the planner: files, folders, links, FIFOs and deep chains.
class LocalTree {
public:
    QString path(const QString& relative = {}) const;
    QString file(const QString& relative, qint64 size = 0) const;
    QString folder(const QString& relative) const;
    QString link(const QString& relative, const QString& target) const;
    QString fifo(const QString& relative) const;
    // `levels` nested folders below `relative`, each named "d"; returns the top one.
    QString chain(const QString& relative, int levels) const;
    // `count` empty files named f00000, f00001, ... in `relative`, quickly.
    void files(const QString& relative, int count) const;
    // A folder of this tree read as if it were a server's: `remote` "/x/y" is `root`/x/y.
    TransferPlanner::ListFolder server(const QString& root) const;

private:
    TemporaryFolder temporary;
};

// Answers conflicts by the destination's last component (skip when unscripted) and writes down
// each question's name in the order it was asked.
struct RecordingResolver {
    QMap<QString, ConflictAction> answers;
    QStringList asked;
    TransferPlanner::Resolver resolver();
};

inline FileEntry remoteEntry(const QString& name, bool directory, std::optional<qint64> size = std::nullopt)
{
    return FileEntry{name, directory, size, std::nullopt};
}

// Each record as "local remote [dir] [exists] [overwrite] [@offset]", `localRoot` cut from local.
QStringList lines(const QList<PlannedTransfer>& records, const QString& localRoot);
// The error text of a failed planning, "cancelled", or "planned" when it did not fail.
QString failure(const std::function<void()>& planning);
