#pragma once

#include "FileEntry.h"
#include "TemporaryFolder.h"
#include "TransferPlanner.h"

#include <QList>
#include <QString>
#include <QStringList>

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
    QList<FileEntry> listing(const QString& root, const QString& remote) const;
    TransferPlanner::ListFolder server(const QString& root, QStringList* listed = nullptr) const;

private:
    TemporaryFolder temporary;
};
