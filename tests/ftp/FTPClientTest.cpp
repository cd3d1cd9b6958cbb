#include "FTPClient.h"
#include "CancellationError.h"
#include "EngineClock.h"
#include "FTPError.h"
#include "FakeCurl.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

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

// Records the back-off sleeps instead of waiting; optionally stops the task at one of them.
class RecordingClock : public EngineClock {
public:
    RecordingClock() { EngineClock::install(this); }
    ~RecordingClock() override { EngineClock::install(nullptr); }

    void sleep(Clock::duration duration, std::stop_token token) const override
    {
        sleeps.push_back(duration);
        if (stopAt == duration)
            stop.request_stop();
        CancellationError::check(token);
    }

    mutable std::vector<Clock::duration> sleeps;
    std::optional<Clock::duration> stopAt;
    mutable std::stop_source stop;
};

const QStringList fixedPart{
    "--disable",  "--config",           "-",           "--globoff",    "--proto", "=ftp,ftps",     "--noproxy",
    "*",          "--connect-timeout",  "15",          "--speed-time", "60",      "--speed-limit", "1",
    "--ftp-pasv", "--ftp-skip-pasv-ip", "--show-error"};

const QString mlsdLine = QStringLiteral("type=file;size=3;modify=20240131120000; a.txt\r\n");

} // namespace

TEST(FTPClientCommandLine, EveryOperationRunsTheExactArgumentList)
{
    TemporaryFolder folder;
    const QString local = folder.write("local file", QByteArray(250, 'x'));
    const QStringList listing{"--request", "MLSD", "--max-time", "45"};
    const QStringList head{"--head", "--max-time", "45"};
    const QString root = QStringLiteral("ftp://ftp.example.org:2121//");
    // Each run is the fixed part, the output mode, the TLS words, the operation's own, then the URL.
    const std::tuple<FTPProtocol, std::function<void(const FTPClient&)>, QStringList, QString> cases[] = {
        {FTPProtocol::ftp, [](const FTPClient& c) { c.list("/pub/my docs", {}); }, listing, root + "pub/my%20docs/"},
        {FTPProtocol::explicitTLS, [](const FTPClient& c) { c.list("/", {}); }, listing, root},
        {FTPProtocol::implicitTLS, [](const FTPClient& c) { c.list("/a/", {}); }, listing,
         "ftps://ftp.example.org:2121//a/"},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.createDirectory("/a b", {}); },
         QStringList{"--quote", "MKD /a b"} + head, root},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.rename("/old %", "/new #", {}); },
         QStringList{"--quote", "RNFR /old %", "--quote", "RNTO /new #"} + head, root},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.deleteItem("/f", false, {}); },
         QStringList{"--quote", "DELE /f"} + head, root},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.deleteItem("/d", true, {}); },
         QStringList{"--quote", "RMD /d"} + head, root},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.permissions("/x?y", "755", {}); },
         QStringList{"--quote", "SITE CHMOD 755 /x?y"} + head, root},
        {FTPProtocol::explicitTLS,
         [&](const FTPClient& c) { c.upload(local, "/up;type=a", true, {}, [](double) {}, {}); },
         QStringList{"--upload-file", local}, root + "up%3Btype%3Da"},
    };
    for (const auto& [protocol, operation, words, url] : cases) {
        FakeCurl curl(QStringLiteral("exit 0"));
        operation(client(protocol));
        ASSERT_EQ(curl.runs(), 1);
        const QString mode = words.contains("--upload-file") ? "--progress-bar" : "--silent";
        const QStringList tls = protocol == FTPProtocol::ftp ? QStringList() : QStringList{"--ssl-reqd", "--tlsv1.2"};
        EXPECT_EQ(curl.arguments(), (fixedPart + QStringList{mode} + tls + words + QStringList{"--url", url}));
    }
}

TEST(FTPClientCommandLine, ResumedUploadContinuesAtTheRemoteSize)
{
    TemporaryFolder folder;
    const QString longer = folder.write("longer", QByteArray(250, 'x'));
    const QString same = folder.write("same", QByteArray(100, 'x'));
    FakeCurl curl(QStringLiteral("case \"$*\" in *MLSD*) printf 'type=file;size=100; f\\r\\n';; esac"));
    client().upload(longer, "/d/f", false, 100, {}, {});
    ASSERT_EQ(curl.runs(), 2);
    EXPECT_EQ(curl.arguments(1).last(), QStringLiteral("ftp://ftp.example.org:2121//d/"));
    EXPECT_EQ(curl.arguments(2).mid(fixedPart.size()),
              (QStringList{"--silent", "--upload-file", longer, "--continue-at", "100", "--url",
                           "ftp://ftp.example.org:2121//d/f"}));
    EXPECT_EQ(failureText([&] { client().upload(same, "/d/f", false, 100, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(failureText([&] { client().upload(longer, "/d/f", true, 0, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(curl.runs(), 4);
}

TEST(FTPClientCommandLine, TheConfigurationIsOneEscapedUserLine)
{
    const std::pair<QString, QByteArray> cases[] = {
        {"secret", "user = \"alice:secret\"\n"},
        {"a\"b\\c", "user = \"alice:a\\\"b\\\\c\"\n"},
        {"line\nfeed\r\t\v:x", "user = \"alice:line\\nfeed\\r\\t\\v:x\"\n"},
        {"", "user = \"alice:\"\n"},
        {QString::fromUtf8("caf\xc3\xa9\x01"), "user = \"alice:caf\xc3\xa9\x01\"\n"},
    };
    for (const auto& [password, line] : cases) {
        FakeCurl curl(QStringLiteral("exit 0"));
        client(FTPProtocol::ftp, password).createDirectory("/x", {});
        EXPECT_EQ(curl.input(), line);
    }
}

TEST(FTPClientCommandLine, ChecksFailBeforeCurlStarts)
{
    FakeCurl curl(QStringLiteral("exit 0"));
    TemporaryFolder folder;
    const QString link = folder.file("link");
    QFile::link(folder.write("file", "x"), link);
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { client(FTPProtocol::ftp, QString(4097, 'p')).list("/", {}); }, L("long_password")},
        {[] { client(FTPProtocol::ftp, QString(2049, QChar(0xe9))).list("/", {}); }, L("long_password")},
        {[] { client().createDirectory("/a\rb", {}); }, L("invalid_remote_path")},
        {[] { client().rename("/a", "relative", {}); }, L("invalid_remote_path")},
        {[] { client().list(QString("/a") + QChar(0x2028), {}); }, L("invalid_remote_path")},
        {[] { client().deleteItem("/", true, {}); }, L("root_delete")},
        {[] { client().deleteTree("/", true, 0, {}); }, L("recursion_limit")},
        {[] { client().deleteTree("/deep", true, 100, {}); }, L("recursion_limit")},
        {[] { client().permissions("/f", "0755", {}); }, L("invalid_permissions")},
        {[] { client().permissions("/f", "75", {}); }, L("invalid_permissions")},
        {[] { client().permissions("/f", "789", {}); }, L("invalid_permissions")},
        {[] { client().permissions("/f", "rwx", {}); }, L("invalid_permissions")},
        {[] { client(FTPProtocol::ftp, {}, "-oops").list("/", {}); }, L("invalid_host")},
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

TEST(FTPClientCommandLine, ThePasswordIsMaskedInDiagnostics)
{
    FakeCurl curl(QStringLiteral("echo 'curl: (67) login as alice:secret refused, secret!' >&2; exit 67"));
    // An empty password masks nothing.
    const std::pair<QString, QString> cases[] = {
        {"secret", "curl: (67) login as alice:\u2022\u2022\u2022\u2022 refused, \u2022\u2022\u2022\u2022!"},
        {"", "curl: (67) login as alice:secret refused, secret!"},
    };
    for (const auto& [password, detail] : cases) {
        try {
            client(FTPProtocol::ftp, password).list("/", {});
            ADD_FAILURE();
        } catch (const FTPError& error) {
            EXPECT_EQ(error.exitStatus(), 67);
            EXPECT_EQ(error.detail(), detail);
            EXPECT_EQ(error.errorDescription(), L("auth_failed") + '\n' + detail);
        }
    }
}

TEST(FTPClientCommandLine, UrlsAreEncodedPathsBehindTwoSlashes)
{
    // Folder URLs and the ftps scheme are covered by the argument lists above.
    EXPECT_EQ(client().url("/100% #1?.txt", false), QStringLiteral("ftp://ftp.example.org:2121//100%25%20%231%3F.txt"));
    EXPECT_EQ(client().url("/caf\u00e9 [x]", false), QStringLiteral("ftp://ftp.example.org:2121//caf%C3%A9%20%5Bx%5D"));
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
}

TEST(FTPClientListing, AStopDuringTheBackOffEndsTheListing)
{
    RecordingClock clock;
    clock.stopAt = 4s;
    FakeCurl curl(QStringLiteral("exit 56"));
    EXPECT_THROW(client().list("/", clock.stop.get_token()), CancellationError);
    EXPECT_EQ(curl.runs(), 4);
}

TEST(FTPClientOperations, CurlExitStatusesBecomeTheUsersSentenceAndTheRetryDecision)
{
    const std::tuple<int, QString, bool> cases[] = {
        {6, L("host_not_found"), true},   {7, L("connect_failed"), true},   {9, L("inaccessible"), false},
        {78, L("inaccessible"), false},   {28, L("timeout"), true},         {60, L("invalid_certificate"), false},
        {67, L("auth_failed"), false},    {18, L("ftp_error", "18"), true}, {52, L("ftp_error", "52"), true},
        {55, L("ftp_error", "55"), true}, {56, L("ftp_error", "56"), true}, {47, L("ftp_error", "47"), false},
    };
    for (const auto& [status, sentence, transient] : cases) {
        FakeCurl curl(QStringLiteral("exit %1").arg(status));
        std::exception_ptr error;
        try {
            client().createDirectory("/d", {});
        } catch (const FTPError& e) {
            EXPECT_EQ(e.exitStatus(), status);
            EXPECT_EQ(e.errorDescription(), sentence);
            error = std::current_exception();
        }
        EXPECT_EQ(FTPClient::isTransient(error), transient) << status;
    }
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(FTPError::message(L("timeout")))));
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(CancellationError())));
}

TEST(FTPClientOperations, EnsureDirectoryAcceptsAnExistingFolder)
{
    const std::tuple<QString, int, QString> cases[] = {
        {"exit 0", 1, "(no error)"},
        {"case \"$*\" in *MKD*) exit 21;; esac; printf '" + mlsdLine + "'", 2, "(no error)"},
        {"case \"$*\" in *MKD*) exit 21;; esac; exit 9", 3, L("inaccessible")},
    };
    for (const auto& [behaviour, runs, error] : cases) {
        FakeCurl curl(behaviour);
        EXPECT_EQ(failureText([] { client().ensureDirectory("/new", {}); }), error);
        EXPECT_EQ(curl.runs(), runs);
    }
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
