#include "RemoteEditJobs.h"

#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"
#include "RemoteEditListModel.h"
#include "RemoteEditStore.h"
#include "SystemCall.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace RemoteEditJobs {

namespace {

// A folder made for one run, removed with everything in it however the run ends, unless kept.
class WorkFolder {
public:
    explicit WorkFolder(const QString& path) : m_path(path) {}
    // A new owner-only folder; one that is already there is refused, never shared.
    static QString create(const QString& path)
    {
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0)
            SystemCall::fail("mkdir", path);
        return path;
    }
    ~WorkFolder()
    {
        // QDir("") would be the working folder.
        if (!m_path.isEmpty())
            QDir(m_path).removeRecursively();
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    QString file(const QString& name) const { return m_path + u'/' + name; }
    void keep() { m_path.clear(); }

private:
    QString m_path;
};

void fetch(const FTPClient& client, const QString& remotePath, const QString& to, std::stop_token token)
{
    client.download(remotePath, to, false, std::nullopt, std::nullopt, false, nullptr, token);
}

struct RemoteFile {
    QString hash;
    std::optional<quint32> permissions;
};

// The server's file, which must still be a file the edit can take.
RemoteFile remoteFile(const FTPClient& client, const QString& remotePath, const WorkFolder& work, std::stop_token token)
{
    const std::optional<FileEntry> entry = client.entry(remotePath, token);
    if (!entry || entry->isDirectory || !RemoteEdit::mayTake(*entry))
        throw FTPError::message(L("destination_changed"));
    const QString copy = work.file(u"remote"_s);
    fetch(client, remotePath, copy, token);
    RemoteFile seen{RemoteEdit::editHash(copy), entry->permissions};
    QFile::remove(copy);
    return seen;
}

} // namespace

Copy download(const FTPClient& client, const QString& remotePath, const QString& name, std::stop_token token)
{
    WorkFolder folder(RemoteEditStore::newCopyFolder());
    const QString file = folder.file(name);
    fetch(client, remotePath, file, token);
    if (::chmod(QFile::encodeName(file).constData(), 0600) != 0)
        SystemCall::fail("chmod", file);
    const QString hash = RemoteEdit::editHash(file);
    folder.keep();
    return {file, hash};
}

Upload upload(const RemoteEdit& edit, const FTPClient& client, const Confirm& confirm,
              const std::function<void()>& directWrite, std::stop_token token)
{
    const QString live = RemoteEditListModel::localPath(edit);
    const WorkFolder work(WorkFolder::create(QDir::tempPath() + u'/' + ServerProfile::uuidText(QUuid::createUuid())));
    // A copy that is missing, too large or not a regular file fails here, before anything is sent.
    RemoteEdit::editHash(live);
    const QString snapshot = work.file(u"local"_s);
    // Through descriptors of its own, which a curl started meanwhile by another thread never inherits.
    LocalFile original = LocalFile::open(live, O_RDONLY);
    LocalFile copy = LocalFile::open(snapshot, O_WRONLY | O_CREAT | O_EXCL, 0600);
    copy.copyFrom(original);
    copy.close();
    Upload result;
    result.snapshotHash = RemoteEdit::editHash(snapshot);

    RemoteFile seen = remoteFile(client, edit.remotePath, work, token);
    bool remoteChanged = seen.hash != edit.originalHash;
    for (;;) {
        if (!confirm(remoteChanged))
            return result;
        // The question may have stayed open for minutes, long enough for a colleague to save.
        const RemoteFile now = remoteFile(client, edit.remotePath, work, token);
        const bool same = now.hash == seen.hash;
        seen = now;
        if (same)
            break;
        remoteChanged = true;
    }
    client.replace(snapshot, edit.remotePath, seen.permissions, directWrite, nullptr, token);
    result.uploaded = true;
    try {
        result.changedSince = RemoteEdit::editHash(live) != result.snapshotHash;
    } catch (...) {
        result.changedSince = true;
    }
    return result;
}

} // namespace RemoteEditJobs
