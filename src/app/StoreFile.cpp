#include "StoreFile.h"

#include "AtomicFile.h"
#include "L10n.h"
#include "LocalFolder.h"

#include <QDateTime>
#include <QFileInfo>
#include <fcntl.h>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace StoreFile {

namespace {

QString folderOf(const QString& path)
{
    return QFileInfo(path).path();
}

// Moves the file at `path` to a name of its own beside it and returns that path; nothing for a
// folder, which no atomic write can replace anyway.
std::optional<QString> keepAside(const QString& path)
{
    const auto [folder, name] = LocalFolder::containing(path);
    const std::optional<LocalAttributes> attributes = folder.attributes(name);
    if (!attributes || attributes->isDirectory)
        return std::nullopt;
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    for (int attempt = 1;; ++attempt) {
        const QString kept =
            name + u".unreadable-"_s + stamp + (attempt > 1 ? u'-' + QString::number(attempt) : QString());
        try {
            folder.rename(name, kept, false);
        } catch (const std::filesystem::filesystem_error& e) {
            if (e.code() != std::errc::file_exists || attempt == 99)
                throw;
            continue;
        }
        // It may have been readable by others; a link or a special file has no content to hide.
        if (attributes->isRegularFile)
            folder.open(kept, O_RDONLY).setPermissions(0600);
        return folder.file(kept);
    }
}

} // namespace

FileLock lock(const QString& folder)
{
    AtomicFile::ensurePrivateFolder(folder);
    return FileLock::acquire(folder + u"/stores.lock"_s);
}

QString change(const QString& path, const std::function<QByteArray(const std::optional<QByteArray>&)>& rewrite)
{
    const FileLock held = lock(folderOf(path));
    QString keptAs;
    QByteArray bytes;
    try {
        bytes = rewrite(AtomicFile::read(path));
    } catch (...) {
        const std::optional<QString> kept = keepAside(path);
        if (!kept)
            throw;
        keptAs = *kept;
        bytes = rewrite(std::nullopt);
    }
    AtomicFile::write(path, bytes);
    return keptAs;
}

std::optional<QString> keptNotice(const QString& file, const QString& keptAs)
{
    if (keptAs.isEmpty())
        return std::nullopt;
    return L("unreadable_kept", QFileInfo(file).fileName(), keptAs);
}

void replace(const QString& path, const QByteArray& bytes)
{
    const FileLock held = lock(folderOf(path));
    AtomicFile::write(path, bytes);
}

void removeStaleTemporaries(const QStringList& paths)
{
    for (const QString& path : paths) {
        const FileLock held = lock(folderOf(path));
        AtomicFile::removeStaleTemporaries(path);
    }
}

} // namespace StoreFile
