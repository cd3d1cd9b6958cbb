#include "ProductInfo.h"

#include "BuildInfo.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace ProductInfo {

QString name()
{
    return u"Dravik FTP"_s;
}

QString version()
{
    return QString::fromLatin1(BuildInfo::version);
}

QString buildNumber()
{
    return QString::fromLatin1(BuildInfo::buildNumber);
}

QString applicationID()
{
    return u"app.dravik.application"_s;
}

// Laid out as help2man reads it, since the manual page is made from it.
static QString helpText()
{
    return u"Usage: dravik [OPTION]...\n"
           "Opens the Dravik window: saved server profiles on the side, this computer and an FTP, FTPS or\n"
           "SFTP server in two panes, and the transfer queue between them.\n"
           "\n"
           "Options:\n"
           "  --help              print this help and exit\n"
           "  --version           print the version and exit\n"
           "\n"
           "Qt's own options, such as -platform NAME or -style NAME, are accepted as well.\n"_s;
}

std::optional<QString> commandLineAnswer(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return helpText();
        if (std::strcmp(argv[i], "--version") == 0)
            return u"dravik "_s + version() + u" (build "_s + buildNumber() + u")\n"_s;
    }
    return std::nullopt;
}

} // namespace ProductInfo
