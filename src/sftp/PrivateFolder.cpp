#include "PrivateFolder.h"

#include <QUuid>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace PrivateFolder {

QString create(const QString& parent, const QString& prefix)
{
    const QString folder =
        parent + QLatin1Char('/') + prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const std::string native = folder.toStdString();
    if (::mkdir(native.c_str(), 0700) != 0)
        throw std::filesystem::filesystem_error("mkdir", native, std::error_code(errno, std::generic_category()));
    return folder;
}

void remove(const QString& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder.toStdString(), ignored);
}

} // namespace PrivateFolder
