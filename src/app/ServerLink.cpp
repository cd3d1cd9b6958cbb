#include "ServerLink.h"

#include "FTPError.h"
#include "L10n.h"
#include "RemotePath.h"
#include "TextRules.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void reject(const char* key)
{
    throw FTPError::message(L(key));
}

QList<FTPProtocol> protocolsOf(const QString& scheme)
{
    if (scheme == u"ftp"_s)
        return {FTPProtocol::explicitTLS, FTPProtocol::ftp};
    if (scheme == u"ftps"_s)
        return {FTPProtocol::implicitTLS};
    if (scheme == u"sftp"_s)
        return {FTPProtocol::sftp};
    reject("link_unsupported");
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The escapes are bytes of UTF-8; a broken escape or a broken sequence makes the link invalid
// rather than a name with a replacement character that exists nowhere on the server.
QString percentDecoded(QStringView text)
{
    QByteArray bytes;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype escape = text.indexOf(u'%', i);
        bytes += text.mid(i, escape < 0 ? -1 : escape - i).toUtf8();
        if (escape < 0)
            break;
        const int high = escape + 2 < text.size() ? hexValue(text[escape + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[escape + 2]) : -1;
        if (low < 0)
            reject("link_invalid");
        bytes += char(high * 16 + low);
        i = escape + 3;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError())
        reject("link_invalid");
    if (TextRules::containsControl(decoded))
        reject("link_control_characters");
    return decoded;
}

bool isIPv6Literal(QStringView host)
{
    return host.contains(u':') &&
           std::all_of(host.cbegin(), host.cend(), [](QChar c) { return hexValue(c) >= 0 || c == u':' || c == u'.'; });
}

int portOf(QStringView text, FTPProtocol protocol)
{
    if (text.isEmpty())
        return FTPProtocols::defaultPort(protocol);
    const bool digits =
        text.size() <= 5 && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int port = digits ? text.toInt() : 0;
    if (port < 1 || port > 65535)
        reject("link_bad_port");
    return port;
}

// host[:port] or [IPv6]:port.
void readHostAndPort(QStringView text, ServerLink& link)
{
    QStringView port;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        const QStringView after = close < 0 ? QStringView() : text.mid(close + 1);
        if (close < 0 || !isIPv6Literal(text.mid(1, close - 1)) || !(after.isEmpty() || after.startsWith(u':')))
            reject("link_invalid");
        link.host = text.mid(1, close - 1).toString();
        port = after.mid(1);
    } else {
        const qsizetype colon = text.indexOf(u':');
        link.host = text.left(colon).toString();
        port = colon < 0 ? QStringView() : text.mid(colon + 1);
        if (link.host.isEmpty())
            reject("link_no_host");
        if (link.host.contains(u'%') || link.host.contains(u'[') || link.host.contains(u']'))
            reject("link_invalid");
        if (!ServerProfile::isValidHost(link.host))
            reject("invalid_host");
    }
    link.port = portOf(port, link.protocols.first());
}

// [user[:password]@]host[:port]; the password is only noted.
void readAuthority(QStringView text, ServerLink& link)
{
    const qsizetype at = text.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView userInfo = text.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        link.hadPassword = colon >= 0;
        link.username = percentDecoded(userInfo.left(colon));
        if (link.username.contains(u':') || TextRules::containsLineBreak(link.username))
            reject("invalid_user");
    }
    readHostAndPort(text.mid(at + 1), link);
}

// Empty components, as in "//", are left out as the server's own paths would resolve them.
void readPath(QStringView text, ServerLink& link)
{
    QStringList names;
    for (QStringView piece : text.split(u'/', Qt::SkipEmptyParts)) {
        const QString name = percentDecoded(piece);
        if (!RemotePath::isValidName(name))
            reject("link_invalid_path");
        names << name;
    }
    link.path = u'/' + names.join(u'/');
    link.namesFolder = names.isEmpty() || text.endsWith(u'/');
}

} // namespace

ServerLink ServerLink::parse(const QString& text)
{
    if (text.size() > maximumLength)
        throw FTPError::message(L("link_too_long", QString::number(maximumLength)));
    if (TextRules::containsControl(text))
        reject("link_control_characters");
    const qsizetype separator = text.indexOf(u"://"_s);
    if (separator < 0)
        reject("link_unsupported");
    ServerLink link;
    link.protocols = protocolsOf(text.left(separator).toLower());
    const QStringView rest = QStringView(text).mid(separator + 3);
    // A query or a fragment means nothing to a file server; a name holding "?" or "#" comes
    // escaped.
    if (rest.contains(u'?') || rest.contains(u'#'))
        reject("link_invalid");
    const qsizetype slash = rest.indexOf(u'/');
    readAuthority(rest.left(slash), link);
    readPath(slash < 0 ? QStringView() : rest.mid(slash), link);
    return link;
}

QString ServerLink::folder() const
{
    return namesFolder ? path : RemotePath::parent(path);
}

std::optional<ServerProfile> ServerLink::match(const QList<ServerProfile>& profiles) const
{
    for (FTPProtocol protocol : protocols)
        for (const ServerProfile& profile : profiles)
            if (profile.protocolType == protocol && profile.port == port &&
                profile.host.compare(host, Qt::CaseInsensitive) == 0 &&
                (username.isEmpty() || profile.username == username))
                return profile;
    return std::nullopt;
}

ServerProfile ServerLink::newProfile() const
{
    ServerProfile profile;
    profile.name = host;
    profile.host = host;
    profile.port = port;
    profile.username = username;
    profile.protocolType = protocols.first();
    profile.initialPath = folder();
    return profile;
}
