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

QString busObjectPath()
{
    return u"/app/dravik/application"_s;
}

// Laid out as help2man reads it, since the manual page is made from it.
static QString helpText()
{
    return u"Usage: dravik [OPTION]... [URL]\n"
           "Opens the Dravik window: saved server profiles on the side, this computer and an FTP, FTPS or\n"
           "SFTP server in two panes, and the transfer queue between them.\n"
           "\n"
           "A URL of the form ftp://[USER@]HOST[:PORT][/PATH] (or ftps://, or sftp://) opens that server:\n"
           "the saved profile of the same protocol, host, port and user is connected and shown at PATH\n"
           "(at the folder of PATH, with the file selected, when PATH names a file); any other server\n"
           "opens the connection editor, filled in from the URL. ftp:// stands for FTP with explicit\n"
           "TLS, or plain FTP when only such a profile is saved; ftps:// for FTP with implicit TLS. A\n"
           "password in the URL is ignored. When Dravik already runs, its window opens the URL.\n"
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
