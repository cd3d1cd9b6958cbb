#include "ProductInfo.h"

using namespace Qt::StringLiterals;

namespace ProductInfo {

QString name()
{
    return u"Dravik FTP"_s;
}

QString version()
{
    return QStringLiteral(DRAVIK_VERSION);
}

QString buildNumber()
{
    return QStringLiteral(DRAVIK_BUILD_NUMBER);
}

QString applicationID()
{
    return u"app.dravik.application"_s;
}

} // namespace ProductInfo
