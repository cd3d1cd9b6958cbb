#include "AtomicFile.h"

#include "LocalFolder.h"
#include "SystemCall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace AtomicFile {

namespace {

QString temporaryName(const QString& name)
{
    return name + QLatin1Char('.') + QString::number(QRandomGenerator::system()->generate64(), 36);
}

bool isTemporaryName(const QString& name, const QString& candidate)
{
    // A 64-bit number in base 36 takes at most 13 digits.
    static const QRegularExpression number(QRegularExpression::anchoredPattern(u"[0-9a-z]{1,13}"_s));
    return candidate.startsWith(name + u'.') && number.match(candidate.sliced(name.size() + 1)).hasMatch();
}

} // namespace

void ensurePrivateFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
        SystemCall::fail("mkdir", folder, EACCES);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        SystemCall::fail("mkdir", folder);
    // An older folder may have been made with the default permissions.
    if (::chmod(native.constData(), 0700) != 0)
        SystemCall::fail("chmod", folder);
}

std::optional<QByteArray> read(const QString& path)
{
    try {
        LocalFile file = LocalFile::open(path, O_RDONLY);
        if (!file.attributes().isRegularFile)
            SystemCall::fail("read", path, EINVAL);
        return file.readToEnd();
    } catch (const std::filesystem::filesystem_error& e) {
        if (e.code() == std::errc::no_such_file_or_directory)
            return std::nullopt;
        throw;
    }
}

static void writeThroughTemporary(const QString& path, const QByteArray& bytes, Sync sync)
{
    const auto [folder, name] = LocalFolder::containing(path);
    // Made owner-only from the start, so the content is never readable by others. As with
    // mkostemp, a name that another writer (or a copy of this process) left is passed over.
    QString temporary;
    std::optional<LocalFile> file;
    for (int attempt = 0; !file; ++attempt) {
        temporary = temporaryName(name);
        try {
            file = folder.open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
        } catch (const std::filesystem::filesystem_error& e) {
            if (e.code() != std::errc::file_exists || attempt == 99)
                throw;
        }
    }
    try {
        file->write(bytes);
        if (sync == Sync::toDisk && ::fsync(file->descriptor()) != 0)
            SystemCall::fail("fsync", path);
        file->close();
        folder.rename(temporary, name, true);
    } catch (...) {
        folder.removeQuietly(temporary);
        throw;
    }
}

void write(const QString& path, const QByteArray& bytes, Sync sync)
{
    SystemCall::naming(path, [&] { writeThroughTemporary(path, bytes, sync); });
}

void removeStaleTemporaries(const QString& path)
{
    const auto [folder, name] = LocalFolder::containing(path);
    const QStringList candidates =
        QDir(folder.path()).entryList({name + u".*"_s}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& candidate : candidates) {
        if (!isTemporaryName(name, candidate))
            continue;
        const std::optional<LocalAttributes> attributes = folder.attributes(candidate);
        if (attributes && attributes->isRegularFile && attributes->owner == ::geteuid())
            folder.removeQuietly(candidate);
    }
}

} // namespace AtomicFile
