#pragma once

#include "FileEntry.h"
#include "LocalFileSystem.h"
#include "TemporaryFolder.h"
#include "TransferPlanner.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Builds real trees on disk for the planner. A part that cannot be made shows up as a wrong plan.
class LocalTree {
public:
    QString path(const QString& relative = {}) const
    {
        return relative.isEmpty() ? temporary.path() : temporary.file(relative);
    }
    QString file(const QString& relative, qint64 size = 0) const
    {
        return temporary.write(relative, QByteArray(size, 'x'));
    }
    QString folder(const QString& relative) const
    {
        QDir().mkpath(path(relative));
        return path(relative);
    }
    QString link(const QString& relative, const QString& target) const
    {
        QFile::link(target, path(relative));
        return path(relative);
    }
    void fifo(const QString& relative) const { ::mkfifo(QFile::encodeName(path(relative)).constData(), 0600); }
    // `levels` nested folders below `relative`, each named "d".
    void chain(const QString& relative, int levels) const
    {
        folder(relative + QStringLiteral("/d").repeated(levels - 1));
    }
    // `count` empty files named f00000, f00001, ... in `relative`, quickly.
    void files(const QString& relative, int count) const
    {
        const QByteArray base = QFile::encodeName(folder(relative));
        for (int n = 0; n < count; ++n) {
            const QByteArray name = base + "/f" + QByteArray::number(n).rightJustified(5, '0');
            ::close(::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        }
    }
    // A folder of this tree read as if it were a server's: `remote` "/x/y" is `root`/x/y.
    TransferPlanner::ListFolder server(const QString& root) const
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

private:
    TemporaryFolder temporary;
};

// Answers conflicts by the destination's last component (skip when unscripted) and writes down
// each question's name in the order it was asked.
struct RecordingResolver {
    QMap<QString, ConflictAction> answers;
    QStringList asked;

    TransferPlanner::Resolver resolver()
    {
        return [this](const TransferConflict& conflict) {
            asked.append((conflict.upload ? conflict.remote : conflict.local).section(QLatin1Char('/'), -1));
            return answers.value(asked.last(), ConflictAction::skip);
        };
    }
};

inline FileEntry remoteEntry(const QString& name, bool directory, std::optional<qint64> size = std::nullopt)
{
    return FileEntry{name, directory, size, std::nullopt};
}

// Each record as "local remote [dir] [exists] [overwrite] [@offset] [of size]", `localRoot` cut from local.
inline QStringList lines(const QList<PlannedTransfer>& records, const QString& localRoot)
{
    QStringList out;
    for (const PlannedTransfer& r : records)
        out.append(QString(r.local).remove(localRoot) + QLatin1Char(' ') + r.remote +
                   (r.directory ? QStringLiteral(" dir") : QString()) +
                   (r.exists ? QStringLiteral(" exists") : QString()) +
                   (r.overwrite ? QStringLiteral(" overwrite") : QString()) +
                   (r.resumeOffset ? QStringLiteral(" @") + QString::number(*r.resumeOffset) : QString()) +
                   (r.listedSize ? QStringLiteral(" of ") + QString::number(*r.listedSize) : QString()));
    return out;
}
