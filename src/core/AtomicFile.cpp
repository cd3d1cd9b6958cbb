#include "AtomicFile.h"

#include "LocalFolder.h"
#include "SystemCall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

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

static void writeThroughTemporary(const QString& path, const QByteArray& bytes)
{
    const auto [folder, name] = LocalFolder::containing(path);
    // Made owner-only from the start, so the content is never readable by others. As with
    // mkostemp, a name that another writer (or a copy of this process) left is passed over.
    QString temporary;
    std::optional<LocalFile> file;
    for (int attempt = 0; !file; ++attempt) {
        temporary = name + QLatin1Char('.') + QString::number(QRandomGenerator::system()->generate64(), 36);
        try {
            file = folder.open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
        } catch (const std::filesystem::filesystem_error& e) {
            if (e.code() != std::errc::file_exists || attempt == 99)
                throw;
        }
    }
    try {
        file->write(bytes);
        if (::fsync(file->descriptor()) != 0)
            SystemCall::fail("fsync", path);
        file->close();
        folder.rename(temporary, name, true);
    } catch (...) {
        folder.removeQuietly(temporary);
        throw;
    }
}

void write(const QString& path, const QByteArray& bytes)
{
    SystemCall::naming(path, [&] { writeThroughTemporary(path, bytes); });
}

} // namespace AtomicFile
