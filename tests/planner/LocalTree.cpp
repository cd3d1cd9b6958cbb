#include "LocalTree.h"

#include "LocalFileSystem.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

QString LocalTree::path(const QString& relative) const
{
    return relative.isEmpty() ? temporary.path() : temporary.file(relative);
}

QString LocalTree::file(const QString& relative, qint64 size) const
{
    return temporary.write(relative, QByteArray(size, 'x'));
}

QString LocalTree::folder(const QString& relative) const
{
    QDir().mkpath(path(relative));
    return path(relative);
}

QString LocalTree::link(const QString& relative, const QString& target) const
{
    if (!QFile::link(target, path(relative)))
        throw std::runtime_error("cannot make a link");
    return path(relative);
}

QString LocalTree::fifo(const QString& relative) const
{
    if (::mkfifo(QFile::encodeName(path(relative)).constData(), 0600) != 0)
        throw std::runtime_error("cannot make a FIFO");
    return path(relative);
}

QString LocalTree::chain(const QString& relative, int levels) const
{
    QString deepest = relative;
    for (int level = 1; level < levels; ++level)
        deepest += QStringLiteral("/d");
    folder(deepest);
    return path(relative);
}

void LocalTree::files(const QString& relative, int count) const
{
    const QByteArray base = QFile::encodeName(folder(relative));
    for (int n = 0; n < count; ++n) {
        const QByteArray name = base + "/f" + QByteArray::number(n).rightJustified(5, '0');
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            throw std::runtime_error("cannot make a file");
        ::close(fd);
    }
}

QList<FileEntry> LocalTree::listing(const QString& root, const QString& remote) const
{
    const QString folder = path(root) + remote;
    QList<FileEntry> entries;
    for (const LocalFileSystem::Child& child : LocalFileSystem::children(folder)) {
        const QByteArray& name = child.name;
        const auto attributes = LocalFileSystem::attributes(folder + QLatin1Char('/') + QString::fromUtf8(name));
        entries.append(
            FileEntry{QString::fromUtf8(name), attributes.isDirectory, attributes.size, attributes.modified});
    }
    return FileEntry::sorted(entries);
}

TransferPlanner::ListFolder LocalTree::server(const QString& root, QStringList* listed) const
{
    return [this, root, listed](const QString& remote) {
        if (listed)
            listed->append(remote);
        return listing(root, remote);
    };
}
