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

void write(const QString& path, const QByteArray& bytes)
{
    const auto [folder, name] = LocalFolder::containing(path);
    // Made owner-only from the start, so the content is never readable by others.
    const QString temporary = name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate64(), 36);
    LocalFile file = folder.open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0600);
    try {
        file.write(bytes);
        if (::fsync(file.descriptor()) != 0)
            SystemCall::fail("fsync", path);
        file.close();
        folder.rename(temporary, name, true);
    } catch (...) {
        folder.removeQuietly(temporary);
        throw;
    }
}

} // namespace AtomicFile
