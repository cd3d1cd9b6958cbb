#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <filesystem>
#include <stdexcept>

TemporaryFolder::TemporaryFolder() : folder(QDir::tempPath() + QStringLiteral("/dravik-test-XXXXXX"))
{
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    root = folder.path();
    folder.setAutoRemove(false);
}

// Removed by bytes rather than through Qt, which cannot name entries whose names are not UTF-8.
TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(root).toStdString()), ignored);
}

QString TemporaryFolder::file(const QString& name) const
{
    return root + QLatin1Char('/') + name;
}

QString TemporaryFolder::write(const QString& name, const QByteArray& bytes) const
{
    return ftptest::writeFile(file(name), bytes);
}
