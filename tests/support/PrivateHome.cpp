#include "PrivateHome.h"

#include <QDir>

PrivateHome::PrivateHome() : folder(QDir::tempPath() + QStringLiteral("/dravik-home-XXXXXX"))
{
    const QByteArray root = folder.path().toUtf8();
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("LANG", "C.UTF-8");
}
