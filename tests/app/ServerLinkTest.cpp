#include "ServerLink.h"

#include "L10n.h"
#include "Loopback.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

// What the link says, in one line: "protocols user@host:port path", a folder's path ending in
// "/"; or the sentence that refuses the link.
QString reading(const QString& text)
{
    QString described;
    const QString failure = ftptest::failureText([&] {
        const ServerLink link = ServerLink::parse(text);
        QStringList protocols;
        for (FTPProtocol protocol : link.protocols)
            protocols << FTPProtocols::rawValue(protocol);
        described = protocols.join('|') + ' ' + link.username + '@' + link.host + ':' + QString::number(link.port) +
                    ' ' + link.path + (link.namesFolder && link.path != "/" ? "/" : "") +
                    (link.hadPassword ? " (password dropped)" : "");
    });
    return described.isEmpty() ? failure : described;
}

ServerProfile saved(const char* name, FTPProtocol protocol, const char* host, int port, const char* user)
{
    return Loopback::profile(name, protocol, port, user, host);
}

} // namespace

TEST(ServerLink, ReadsServerUserAndPathOrSaysWhatIsWrong)
{
    const struct {
        QString link;
        QString expected;
    } cases[] = {
        {"ftp://anna@ftp.example.org/pub/", "explicitTLS|ftp anna@ftp.example.org:21 /pub/"},
        {"FTPS://ftp.example.org", "implicitTLS @ftp.example.org:990 /"},
        {"sftp://me@host:2222/home/me/notes.txt", "sftp me@host:2222 /home/me/notes.txt"},
        {"ftp://host:/", "explicitTLS|ftp @host:21 /"},
        {"ftp://u%40corp:s%3Acret@[2001:db8::1]:2121//a%20b//c%C3%A9/",
         "explicitTLS|ftp u@corp@2001:db8::1:2121 /a b/c\u00e9/ (password dropped)"},
        {"sftp://[::1]/x%23y", "sftp @::1:22 /x#y"},
        {"http://example.org/", L("link_unsupported")},
        {"example.org", L("link_unsupported")},
        {"ftp:///pub", L("link_no_host")},
        {"ftp://anna@:21/", L("link_no_host")},
        {"ftp://host:0/", L("link_bad_port")},
        {"ftp://host:65536", L("link_bad_port")},
        {"ftp://host:+21/", L("link_bad_port")},
        {"ftp://host:21:22/", L("link_bad_port")},
        {"ftp://host/a\nb", L("link_control_characters")},
        {"ftp://host/a%09b", L("link_control_characters")},
        {"ftp://an%00na@host/", L("link_control_characters")},
        {"ftp://host/a/../b", L("link_invalid_path")},
        {"ftp://host/a%2Fb", L("link_invalid_path")},
        {"ftp://host/%zz", L("link_invalid")},
        {"ftp://host/%4", L("link_invalid")},
        {"ftp://host/%C3", L("link_invalid")},
        {"ftp://host/pub?type=a", L("link_invalid")},
        {"ftp://[::1/", L("link_invalid")},
        {"ftp://[example.org]/", L("link_invalid")},
        {"ftp://[::1]x/", L("link_invalid")},
        {"ftp://ho%73t/", L("link_invalid")},
        {"ftp://-oProxyCommand=x/", L("invalid_host")},
        {"ftp://an%3Ana@host/", L("invalid_user")},
        {"ftp://host/" + QString(ServerLink::maximumLength, 'a'),
         L("link_too_long", QString::number(ServerLink::maximumLength))},
    };
    for (const auto& one : cases)
        EXPECT_EQ(reading(one.link), one.expected) << one.link.left(80).toStdString();
}

TEST(ServerLink, StandsForTheSavedProfileOfItsServerAndUserPreferringExplicitTLS)
{
    // Plain FTP first in the list, so that only the preference can pick explicit TLS.
    const QList<ServerProfile> profiles{
        saved("plain", FTPProtocol::ftp, "ftp.example.org", 21, "anna"),
        saved("explicit", FTPProtocol::explicitTLS, "FTP.Example.org", 21, "anna"),
        saved("bob", FTPProtocol::ftp, "ftp.example.org", 21, "bob"),
        saved("implicit", FTPProtocol::implicitTLS, "ftp.example.org", 990, "anna"),
        saved("sftp", FTPProtocol::sftp, "ftp.example.org", 22, "anna"),
    };
    const struct {
        const char* link;
        const char* profile;
    } cases[] = {
        {"ftp://anna@ftp.example.org/", "explicit"}, {"ftp://bob@ftp.example.org/", "bob"},
        {"ftp://ftp.example.org/", "explicit"},      {"ftps://anna@ftp.example.org/", "implicit"},
        {"sftp://anna@FTP.EXAMPLE.ORG", "sftp"},     {"ftp://anna@ftp.example.org:2121/", "(none)"},
        {"sftp://carl@ftp.example.org/", "(none)"},  {"ftp://anna@ftp.example.net/", "(none)"},
    };
    for (const auto& one : cases) {
        const std::optional<ServerProfile> match = ServerLink::parse(one.link).match(profiles);
        EXPECT_EQ(match ? match->name : "(none)", one.profile) << one.link;
    }
}
