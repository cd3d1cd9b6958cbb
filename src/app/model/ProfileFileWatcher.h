#pragma once

#include "ServerProfile.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QTimer>

// Notices when another program (a second copy of this one, the command line) changed the saved
// profiles. Every save replaces "servers.json" by a rename, which a watch on the file itself would
// lose, so the data folder is watched; the file is read again once a burst of changes in the
// folder has settled.
class ProfileFileWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int settleTime = 100; // milliseconds

    // Watches the data folder, which must exist.
    explicit ProfileFileWatcher(QObject* parent = nullptr);

Q_SIGNALS:
    // The list the file now holds; a file that cannot be read is passed over, and the next save
    // keeps it aside.
    void read(const QList<ServerProfile>& profiles);

private:
    void readFile();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
