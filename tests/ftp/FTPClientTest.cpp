#include "FTPClient.h"
#include "CancellationError.h"
#include "EngineClock.h"
#include "FTPError.h"
#include "FakeCurl.h"
#include "L10n.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

ServerProfile profileFor(FTPProtocol protocol, int port = 2121)
{
    ServerProfile profile;
    profile.host = QStringLiteral("ftp.example.org");
    profile.port = port;
    profile.username = QStringLiteral("alice");
    profile.protocolType = protocol;
    if (protocol == FTPProtocol::sftp)
        profile.sshFingerprint = QStringLiteral("SHA256:") + QString(43, QLatin1Char('A'));
    return profile;
}

FTPClient client(FTPProtocol protocol = FTPProtocol::ftp, const QString& password = QStringLiteral("secret"))
{
    return FTPClient(profileFor(protocol), password);
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

QString messageOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FTPError& error) {
        return error.errorDescription();
    }
    return QStringLiteral("(no error)");
}

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
    struct Case {
        FTPProtocol protocol;
        std::function<void(const FTPClient&)> operation;
        QStringList words;
    };
    const QStringList tls{"--ssl-reqd", "--tlsv1.2"};
    const QStringList command{"--head", "--max-time", "45", "--url", "ftp://ftp.example.org:2121//"};
    const Case cases[] = {
        {FTPProtocol::ftp, [](const FTPClient& c) { c.list("/pub/my docs", {}); },
         QStringList{"--silent", "--request", "MLSD", "--max-time", "45", "--url",
                     "ftp://ftp.example.org:2121//pub/my%20docs/"}},
        {FTPProtocol::explicitTLS, [](const FTPClient& c) { c.list("/", {}); },
         QStringList{"--silent"} + tls +
             QStringList{"--request", "MLSD", "--max-time", "45", "--url", "ftp://ftp.example.org:2121//"}},
        {FTPProtocol::implicitTLS, [](const FTPClient& c) { c.list("/a/", {}); },
         QStringList{"--silent"} + tls +
             QStringList{"--request", "MLSD", "--max-time", "45", "--url", "ftps://ftp.example.org:2121//a/"}},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.createDirectory("/a b", {}); },
         QStringList{"--silent", "--quote", "MKD /a b"} + command},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.rename("/old %", "/new #", {}); },
         QStringList{"--silent", "--quote", "RNFR /old %", "--quote", "RNTO /new #"} + command},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.deleteItem("/f", false, {}); },
         QStringList{"--silent", "--quote", "DELE /f"} + command},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.deleteItem("/d", true, {}); },
         QStringList{"--silent", "--quote", "RMD /d"} + command},
        {FTPProtocol::ftp, [](const FTPClient& c) { c.permissions("/x?y", "755", {}); },
         QStringList{"--silent", "--quote", "SITE CHMOD 755 /x?y"} + command},
        {FTPProtocol::explicitTLS,
         [&](const FTPClient& c) { c.upload(local, "/up;type=a", true, {}, [](double) {}, {}); },
         QStringList{"--progress-bar"} + tls +
             QStringList{"--upload-file", local, "--url", "ftp://ftp.example.org:2121//up%3Btype%3Da"}},
    };
    for (const Case& c : cases) {
        FakeCurl curl(QStringLiteral("exit 0"));
        c.operation(client(c.protocol));
        ASSERT_EQ(curl.runs(), 1);
        EXPECT_EQ(curl.arguments(), fixedPart + c.words);
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
    EXPECT_EQ(messageOf([&] { client().upload(same, "/d/f", false, 100, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(messageOf([&] { client().upload(longer, "/d/f", false, {}, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(messageOf([&] { client().upload(longer, "/d/f", true, 0, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(curl.runs(), 5);
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
    ServerProfile badHost = profileFor(FTPProtocol::ftp);
    badHost.host = QStringLiteral("-oops");
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
        {[&] { FTPClient(badHost, {}).list("/", {}); }, L("invalid_host")},
    };
    for (const auto& [operation, expected] : cases)
        EXPECT_EQ(messageOf(operation), expected);
    EXPECT_EQ(curl.runs(), 0);

    client(FTPProtocol::ftp, QString(4096, 'p')).createDirectory("/ok", {});
    EXPECT_EQ(curl.runs(), 1);
}

TEST(FTPClientCommandLine, UploadNeedsARegularFile)
{
    TemporaryFolder folder;
    const QString file = folder.write("file", "x");
    QFile::link(file, folder.file("link"));
    FakeCurl curl(QStringLiteral("exit 0"));
    EXPECT_EQ(messageOf([&] { client().upload(folder.file("link"), "/x", true, {}, {}, {}); }),
              L("regular_file_required"));
    EXPECT_EQ(messageOf([&] { client().upload(folder.path(), "/x", true, {}, {}, {}); }), L("regular_file_required"));
    EXPECT_THROW(client().upload(folder.file("missing"), "/x", true, {}, {}, {}), std::filesystem::filesystem_error);
    EXPECT_EQ(curl.runs(), 0);
}

TEST(FTPClientCommandLine, ThePasswordIsMaskedInDiagnostics)
{
    FakeCurl curl(QStringLiteral("echo 'curl: (67) login as alice:secret refused, secret!' >&2; exit 67"));
    try {
        client().list("/", {});
        FAIL();
    } catch (const FTPError& error) {
        EXPECT_EQ(error.exitStatus(), 67);
        EXPECT_EQ(error.detail(), QStringLiteral("curl: (67) login as alice:\u2022\u2022\u2022\u2022 refused, "
                                                 "\u2022\u2022\u2022\u2022!"));
        EXPECT_FALSE(error.errorDescription().contains(QStringLiteral("secret")));
    }
    try {
        client(FTPProtocol::ftp, {}).list("/", {});
        FAIL();
    } catch (const FTPError& error) {
        EXPECT_EQ(error.detail(), QStringLiteral("curl: (67) login as alice:secret refused, secret!"));
    }
}

TEST(FTPClientCommandLine, UrlsAreEncodedPathsBehindTwoSlashes)
{
    const FTPClient plain = client();
    const std::tuple<QString, bool, QString> cases[] = {
        {"/", true, "ftp://ftp.example.org:2121//"},
        {"/a/", true, "ftp://ftp.example.org:2121//a/"},
        {"/pub/my docs", true, "ftp://ftp.example.org:2121//pub/my%20docs/"},
        {"/100% #1?.txt", false, "ftp://ftp.example.org:2121//100%25%20%231%3F.txt"},
        {QString::fromUtf8("/caf\xc3\xa9 [x]"), false, "ftp://ftp.example.org:2121//caf%C3%A9%20%5Bx%5D"},
    };
    for (const auto& [path, directory, expected] : cases)
        EXPECT_EQ(plain.url(path, directory), expected);
    EXPECT_EQ(client(FTPProtocol::implicitTLS).url("/f", false), QStringLiteral("ftps://ftp.example.org:2121//f"));
}

TEST(FTPClientListing, FallsBackToListAndRetriesTransientFailures)
{
    struct Case {
        QString behaviour;
        int runs;
        std::vector<EngineClock::Clock::duration> sleeps;
        QString error;
    };
    const Case cases[] = {
        {"exit 7", 6, {2s, 4s}, L("connect_failed")},
        {"exit 9", 2, {}, L("inaccessible")},
        {"case \"$*\" in *MLSD*) echo garbage;; *) printf -- '-rw-r--r-- 1 u g 5 Jan 31 12:00 b.txt\\r\\n';; esac",
         2,
         {},
         ""},
        {"[ $run -lt 3 ] && exit 28; printf '" + mlsdLine + "'", 3, {2s}, ""},
    };
    for (const Case& c : cases) {
        RecordingClock clock;
        FakeCurl curl(c.behaviour);
        QString error;
        try {
            const QList<FileEntry> entries = client().list("/", {});
            EXPECT_EQ(entries.size(), 1);
        } catch (const FTPError& e) {
            error = e.errorDescription();
        }
        EXPECT_EQ(error, c.error) << c.behaviour.toStdString();
        EXPECT_EQ(curl.runs(), c.runs) << c.behaviour.toStdString();
        EXPECT_EQ(clock.sleeps, c.sleeps) << c.behaviour.toStdString();
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
    struct Case {
        int status;
        QString sentence;
        bool transient;
    };
    const Case cases[] = {
        {6, L("host_not_found"), true},   {7, L("connect_failed"), true},   {9, L("inaccessible"), false},
        {78, L("inaccessible"), false},   {28, L("timeout"), true},         {60, L("invalid_certificate"), false},
        {67, L("auth_failed"), false},    {18, L("ftp_error", "18"), true}, {52, L("ftp_error", "52"), true},
        {55, L("ftp_error", "55"), true}, {56, L("ftp_error", "56"), true}, {47, L("ftp_error", "47"), false},
    };
    for (const Case& c : cases) {
        FakeCurl curl(QStringLiteral("exit %1").arg(c.status));
        std::exception_ptr error;
        try {
            client().createDirectory("/d", {});
        } catch (const FTPError& e) {
            EXPECT_EQ(e.exitStatus(), c.status);
            EXPECT_EQ(e.errorDescription(), c.sentence);
            error = std::current_exception();
        }
        EXPECT_EQ(FTPClient::isTransient(error), c.transient) << c.status;
    }
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(FTPError::message(L("timeout")))));
    EXPECT_FALSE(FTPClient::isTransient(std::make_exception_ptr(CancellationError())));
}

TEST(FTPClientOperations, EnsureDirectoryAcceptsAnExistingFolder)
{
    struct Case {
        QString behaviour;
        int runs;
        QString error;
    };
    const Case cases[] = {
        {"exit 0", 1, ""},
        {"case \"$*\" in *MKD*) exit 21;; esac; printf '" + mlsdLine + "'", 2, ""},
        {"case \"$*\" in *MKD*) exit 21;; esac; exit 9", 3, L("inaccessible")},
    };
    for (const Case& c : cases) {
        FakeCurl curl(c.behaviour);
        EXPECT_EQ(messageOf([] { client().ensureDirectory("/new", {}); }), c.error.isEmpty() ? "(no error)" : c.error);
        EXPECT_EQ(curl.runs(), c.runs);
    }
}

TEST(FTPClientOperations, DeleteTreeStopsAtTheDepthLimit)
{
    {
        FakeCurl curl(QStringLiteral("exit 0"));
        client().deleteTree("/empty", true, 99, {});
        ASSERT_EQ(curl.runs(), 2);
        EXPECT_TRUE(curl.arguments(1).contains("MLSD"));
        EXPECT_TRUE(curl.arguments(2).contains("RMD /empty"));
    }
    FakeCurl curl(QStringLiteral("case \"$*\" in *MLSD*) printf 'type=file;size=1; f\\r\\n';; esac"));
    EXPECT_EQ(messageOf([] { client().deleteTree("/deep", true, 99, {}); }), L("recursion_limit"));
    EXPECT_EQ(curl.runs(), 1);
}
