#include "TestFiles.h"

#include "CancellationError.h"
#include "UserFacingError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ftptest {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

unsigned permissionsOf(const QString& path)
{
    struct stat attributes {};
    ::stat(QFile::encodeName(path).constData(), &attributes);
    return attributes.st_mode & 0777;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

void useDownloadsFolder(const QString& path)
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QDir().mkpath(config);
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    if (!dirs.open(QIODevice::WriteOnly) || dirs.write("XDG_DOWNLOAD_DIR=\"" + path.toUtf8() + "\"\n") < 0)
        throw std::runtime_error("cannot write user-dirs.dirs");
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator{quint32(size)};
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

void setModified(const QString& path, qint64 lateBy)
{
    const qint64 ms = 1'700'000'000'000 + lateBy;
    const timespec time{ms / 1000, (ms % 1000) * 1'000'000};
    const timespec times[2] = {time, time};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

QList<int> childrenOf(qint64 parent, const QByteArray& name)
{
    QList<int> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = contentOf(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        // The parent's id is the second field after the parenthesised command name.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if ((name.isEmpty() || stat.contains(QByteArray("(" + name + ")"))) && fields.size() >= 2 &&
            fields.at(1).toLongLong() == parent)
            found << pid.toInt();
    }
    return found;
}

QList<QByteArray> childProcesses(const QByteArray& name)
{
    QList<QByteArray> found;
    for (const int pid : childrenOf(::getpid(), name))
        found << contentOf(QStringLiteral("/proc/%1/cmdline").arg(pid)) + '\n' +
                     contentOf(QStringLiteral("/proc/%1/environ").arg(pid));
    return found;
}

QString failureText(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const UserFacingError& error) {
        return error.errorDescription();
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    } catch (const std::filesystem::filesystem_error&) {
        return QStringLiteral("(file system error)");
    }
    return QStringLiteral("(no error)");
}

} // namespace ftptest
