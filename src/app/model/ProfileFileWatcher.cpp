#include "ProfileFileWatcher.h"

#include "ProfileStore.h"

ProfileFileWatcher::ProfileFileWatcher(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleTime);
    connect(&m_settle, &QTimer::timeout, this, &ProfileFileWatcher::readFile);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    m_watcher.addPath(ProfileStore::folder());
}

void ProfileFileWatcher::readFile()
{
    QList<ServerProfile> profiles;
    try {
        profiles = ProfileStore::load();
    } catch (...) {
        // A file half written by hand, say: the list shown stays, and the next save keeps the
        // file aside.
        return;
    }
    Q_EMIT read(profiles);
}
