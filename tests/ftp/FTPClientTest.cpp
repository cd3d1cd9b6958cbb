#include "FTPClient.h"
#include "FTPError.h"
#include "FakeCurl.h"
#include "L10n.h"
#include "QtPrinters.h"
#include "RecordingClock.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace ftptest;

namespace {

FTPClient client(FTPProtocol protocol = FTPProtocol::ftp, const QString& password = QStringLiteral("secret"),
                 const QString& host = QStringLiteral("ftp.example.org"))
{
    ServerProfile profile;
    profile.host = host;
    profile.port = 2121;
    profile.username = QStringLiteral("alice");
    profile.protocolType = protocol;
    return FTPClient(profile, password);
}

const QString mlsdLine = QStringLiteral("type=file;size=3;modify=20240131120000; a.txt\r\n");

} // namespace

TEST(FTPClientCommandLine, ChecksFailBeforeCurlStarts)
{
    FakeCurl curl(QStringLiteral("exit 0"));
    TemporaryFolder folder;
    const QString link = folder.file("link");
    QFile::link(folder.write("file", "x"), link);
    const auto get = [](const QString& remote) { client().download(remote, "/tmp/x", true, {}, {}, false, {}, {}); };
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { client(FTPProtocol::ftp, QString(4097, 'p')).list("/", {}); }, L("long_password")},
        {[] { client(FTPProtocol::ftp, QString(2049, QChar(0xe9))).list("/", {}); }, L("long_password")},
        // Each would end the password early and send the rest as a command of its own.
        {[] { client(FTPProtocol::ftp, "pw\r\nDELE /x").list("/", {}); }, L("invalid_password")},
        {[] { client(FTPProtocol::ftp, "pw\nx").list("/", {}); }, L("invalid_password")},
        {[] { client(FTPProtocol::ftp, QString("pw") + QChar(0) + "x").list("/", {}); }, L("invalid_password")},
        {[] { client().createDirectory("/a\rb", {}); }, L("invalid_remote_path")},
        {[] { client().rename("/a", "relative", {}); }, L("invalid_remote_path")},
        {[] { client().list(QString("/a") + QChar(0x2028), {}); }, L("invalid_remote_path")},
        {[] { client().deleteItem("/", true, {}); }, L("root_delete")},
        {[] { client().deleteTree("/", true, 0, {}); }, L("recursion_limit")},
        {[] { client().deleteTree("/deep", true, 100, {}); }, L("recursion_limit")},
        {[] { client().permissions("/f", "0755", {}); }, L("invalid_permissions")},
        {[] { client().permissions("/f", "789", {}); }, L("invalid_permissions")},
        {[] { client(FTPProtocol::ftp, {}, "-oops").list("/", {}); }, L("invalid_host")},
        {[&] { get("/folder/"); }, L("remote_file_required")},
        {[&] { client().upload(folder.file("file"), "/folder/", true, {}, {}, {}); }, L("remote_file_required")},
        {[&] { client().upload(link, "/x", true, {}, {}, {}); }, L("regular_file_required")},
        {[&] { client().upload(folder.path(), "/x", true, {}, {}, {}); }, L("regular_file_required")},
        {[&] { client().upload(folder.file("missing"), "/x", true, {}, {}, {}); }, "(file system error)"},
    };
    for (const auto& [operation, expected] : cases)
        EXPECT_EQ(failureText(operation), expected);
    EXPECT_EQ(curl.runs(), 0);

    client(FTPProtocol::ftp, QString(4096, 'p')).createDirectory("/ok", {});
    EXPECT_EQ(curl.runs(), 1);
}

TEST(FTPClientCommandLine, ThePasswordTravelsOnStandardInputAndIsMaskedInDiagnostics)
{
    FakeCurl curl(QStringLiteral("echo 'curl: (67) login as alice:secret refused, secret!' >&2; exit 67"));
    // An empty password masks nothing.
    const std::tuple<QString, QByteArray, QString> cases[] = {
        {"secret", "user = \"alice:secret\"\n",
         "curl: (67) login as alice:\u2022\u2022\u2022\u2022 refused, \u2022\u2022\u2022\u2022!"},
        {"", "user = \"alice:\"\n", "curl: (67) login as alice:secret refused, secret!"},
        {"a\"b\\c\t\v", "user = \"alice:a\\\"b\\\\c\\t\\v\"\n", "curl: (67) login as alice:secret refused, secret!"},
    };
    int run = 0;
    for (const auto& [password, configuration, detail] : cases) {
        try {
            client(FTPProtocol::ftp, password).list("/", {});
            ADD_FAILURE();
        } catch (const FTPError& error) {
            EXPECT_EQ(error.exitStatus(), 67);
            EXPECT_EQ(error.errorDescription(), L("auth_failed") + ' ' + detail);
        }
        EXPECT_EQ(curl.input(run += 2), configuration);
        EXPECT_FALSE(curl.arguments(run).join(' ').contains(password.isEmpty() ? "alice:" : password));
    }
}

// curl gets the descriptor of the file that was checked, so swapping the path for a link to a
// private file after the check sends nothing of it.
TEST(FTPClientCommandLine, AnUploadSendsTheFileItOpenedWhateverHappensToItsPath)
{
    TemporaryFolder folder;
    const QString source = folder.write("source", "checked bytes");
    const QString victim = folder.write("victim", "private bytes");
    FakeCurl curl(
        QStringLiteral("rm '%1'; ln -s '%2' '%1'; cat /dev/fd/3 > '%3'").arg(source, victim, folder.file("received")));
    client().upload(source, "/up.bin", true, {}, {}, {});
    EXPECT_EQ(contentOf(folder.file("received")), QByteArray("checked bytes"));
    EXPECT_TRUE(curl.arguments().contains("/dev/fd/3"));
}

TEST(FTPClientListing, FallsBackToListAndRetriesTransientFailures)
{
    const QString listFallback =
        "case \"$*\" in *MLSD*) echo garbage;; *) printf -- '-rw-r--r-- 1 u g 5 Jan 31 12:00 b.txt\\r\\n';; esac";
    const std::tuple<QString, int, std::vector<EngineClock::Clock::duration>, QString> cases[] = {
        {"exit 7", 6, {2s, 4s}, L("connect_failed")},
        {"exit 9", 2, {}, L("inaccessible")},
        {listFallback, 2, {}, "(no error)"},
        {"[ $run -lt 3 ] && exit 28; printf '" + mlsdLine + "'", 3, {2s}, "(no error)"},
    };
    for (const auto& [behaviour, runs, sleeps, error] : cases) {
        RecordingClock clock;
        FakeCurl curl(behaviour);
        EXPECT_EQ(failureText([] { EXPECT_EQ(client().list("/", {}).size(), 1); }), error) << behaviour.toStdString();
        EXPECT_EQ(curl.runs(), runs) << behaviour.toStdString();
        EXPECT_EQ(clock.sleeps, sleeps) << behaviour.toStdString();
    }

    RecordingClock clock;
    clock.stopAt = 4s;
    FakeCurl curl(QStringLiteral("exit 56"));
    EXPECT_THROW(client().list("/", clock.stop.get_token()), CancellationError);
    EXPECT_EQ(curl.runs(), 4);
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(FTPError::message(L("timeout")))));
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(CancellationError())));
}

// Servers without MLSD are asked for "LIST -a" (plain LIST hides dot files on some), and what a
// server refused is not asked again for the same profile; an edited profile asks again.
TEST(FTPClientListing, RemembersWhatAServerRefusedForTheSameProfileOnly)
{
    const QString unixLine = QStringLiteral("printf -- '-rw-r--r-- 1 u g 5 Jan 31 12:00 .env\\r\\n'");
    const std::tuple<QString, QString, QStringList> cases[] = {
        {"no-mlsd.example.org", "case \"$*\" in *MLSD*) exit 19;; esac; " + unixLine, {"MLSD", "LIST -a", "LIST -a"}},
        {"no-options.example.org",
         "case \"$*\" in *MLSD*|*'LIST -a'*) exit 19;; esac; " + unixLine,
         {"MLSD", "LIST -a", "LIST", "LIST"}},
        // A folder nobody may list says nothing about the server.
        {"denied.example.org", "[ $run -lt 4 ] && exit 19; " + unixLine, {"MLSD", "LIST -a", "LIST", "MLSD"}},
    };
    for (const auto& [host, behaviour, commands] : cases) {
        FakeCurl curl(behaviour);
        const FTPClient server = client(FTPProtocol::ftp, "pw", host);
        failureText([&] { server.list("/", {}); });
        EXPECT_EQ(server.list("/", {}).first().name, ".env") << host.toStdString();
        QStringList sent;
        for (int run = 1; run <= curl.runs(); ++run) {
            const QStringList words = curl.arguments(run);
            const qsizetype request = words.indexOf("--request");
            sent << (request < 0 ? "LIST" : words.at(request + 1));
        }
        EXPECT_EQ(sent, commands) << host.toStdString();
    }

    FakeCurl curl(QStringLiteral("case \"$*\" in *MLSD*) exit 19;; esac"));
    const FTPClient server = client(FTPProtocol::ftp, "pw", "edited.example.org");
    server.list("/", {});
    ServerProfile edited = server.profile();
    edited.name = QStringLiteral("renamed");
    FTPClient(edited, "pw").list("/", {});
    EXPECT_EQ(curl.runs(), 4);
    EXPECT_TRUE(curl.arguments(3).contains("MLSD"));
}

TEST(FTPClientOperations, DeleteTreeStopsAtTheDepthLimit)
{
    {
        FakeCurl curl(QStringLiteral("exit 0"));
        client().deleteTree("/empty", true, 99, {});
        ASSERT_EQ(curl.runs(), 2);
        EXPECT_TRUE(curl.arguments(2).contains("RMD /empty"));
    }
    FakeCurl curl(QStringLiteral("case \"$*\" in *MLSD*) printf 'type=file;size=1; f\\r\\n';; esac"));
    EXPECT_EQ(failureText([] { client().deleteTree("/deep", true, 99, {}); }), L("recursion_limit"));
    EXPECT_EQ(curl.runs(), 1);
}
