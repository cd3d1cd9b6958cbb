#include "PrivateFolder.h"

#include "SystemCall.h"

#include <QFile>
#include <QUuid>
#include <filesystem>
#include <sys/stat.h>

namespace PrivateFolder {

QString create(const QString& parent, const QString& prefix)
{
    const QString folder =
        parent + QLatin1Char('/') + prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0)
        SystemCall::fail("mkdir", folder);
    return folder;
}

void remove(const QString& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(folder).toStdString(), ignored);
}

} // namespace PrivateFolder
