#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

TemporaryFolder::TemporaryFolder() : folder(QDir::tempPath() + QStringLiteral("/dravik-test-XXXXXX"))
{
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    root = folder.path();
}

QString TemporaryFolder::file(const QString& name) const
{
    return root + QLatin1Char('/') + name;
}

QString TemporaryFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}
