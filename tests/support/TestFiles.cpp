#include "TestFiles.h"

#include "CancellationError.h"
#include "UserFacingError.h"

#include <QFile>
#include <QRandomGenerator>
#include <filesystem>
#include <sys/stat.h>

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

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator{quint32(size)};
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
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
