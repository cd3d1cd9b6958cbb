#include "LocalTree.h"

#include "CancellationError.h"
#include "FTPError.h"
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
    folder(relative + QStringLiteral("/d").repeated(levels - 1));
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

TransferPlanner::ListFolder LocalTree::server(const QString& root) const
{
    return [this, root](const QString& remote) {
        const QString folder = path(root) + remote;
        QList<FileEntry> entries;
        for (const LocalFileSystem::Child& child : LocalFileSystem::children(folder)) {
            const QString name = QString::fromUtf8(child.name);
            const auto attributes = LocalFileSystem::attributes(folder + QLatin1Char('/') + name);
            entries.append(FileEntry{name, attributes.isDirectory, attributes.size, attributes.modified});
        }
        return FileEntry::sorted(entries);
    };
}

TransferPlanner::Resolver RecordingResolver::resolver()
{
    return [this](const TransferConflict& conflict) {
        const QString path = conflict.upload ? conflict.remote : conflict.local;
        asked.append(path.section(QLatin1Char('/'), -1));
        return answers.value(asked.last(), ConflictAction::skip);
    };
}

QStringList lines(const QList<PlannedTransfer>& records, const QString& localRoot)
{
    QStringList out;
    for (const PlannedTransfer& r : records)
        out.append(QString(r.local).remove(localRoot) + QLatin1Char(' ') + r.remote +
                   (r.directory ? QStringLiteral(" dir") : QString()) +
                   (r.exists ? QStringLiteral(" exists") : QString()) +
                   (r.overwrite ? QStringLiteral(" overwrite") : QString()) +
                   (r.resumeOffset ? QStringLiteral(" @") + QString::number(*r.resumeOffset) : QString()));
    return out;
}

QString failure(const std::function<void()>& planning)
{
    try {
        planning();
    } catch (const FTPError& error) {
        return error.errorDescription();
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    }
    return QStringLiteral("planned");
}
