#include "AskRelayLocation.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "HostKeyPinning.h"
#include "L10n.h"
#include "LocalFile.h"
#include "ManualClock.h"
#include "SFTPClient.h"
#include "SFTPFailure.h"
#include "SFTPOperations.h"
#include "SFTPWire.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimeZone>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace ftptest;

namespace {

const QString askRelay = QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay");

class SFTPSession : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_ACCOUNTS();
        // The connection's private folders land here, where the test can see that they go. ssh
        // would split a path with a blank and expand one with a "%" if they were passed as they are;
        // the fixture's key file lives there too.
        ::chmod(QFile::encodeName(temporary.path()).constData(), 0755);
        QDir(temporary.path()).mkpath(QStringLiteral("my files 100%"));
        qputenv("TMPDIR", temporary.file(QStringLiteral("my files 100%")).toUtf8());
        server = std::make_unique<SSHServer>();
    }
    void TearDown() override { qunsetenv("TMPDIR"); }

    SFTPClient client() const { return SFTPClient(server->profile(), server->password()); }
    QString remote(const QString& name) const { return server->path(name); }

    // No connection leaves its private folder behind.
    static void expectNothingLeft()
    {
        EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("drvk-*")}).isEmpty());
    }

    TemporaryFolder temporary;
    TemporaryFolder local;
    std::unique_ptr<SSHServer> server;
};

} // namespace

TEST_F(SFTPSession, ListingsAndTransfersArriveByteForByteEachInASessionOfItsOwn)
{
    // Names, sizes and kinds are compared over every server in FTPServerTest; here the time, and
    // two sessions that see the same.
    QDir().mkpath(remote("listing"));
    server->put("listing/plain.txt", "abc");
    const QList<FileEntry> first = client().list(remote("listing"), {});
    const QDateTime written = QFileInfo(remote("listing/plain.txt")).lastModified();
    EXPECT_EQ(first.value(0).modified, QDateTime::fromSecsSinceEpoch(written.toSecsSinceEpoch(), QTimeZone::utc()));
    EXPECT_EQ(first, client().list(remote("listing"), {}));

    // More than the 64 chunks of one window in flight, and not a whole number of chunks.
    const QByteArray big = randomBytes(6 * 1024 * 1024 + 123);
    server->put("big", big);
    struct Case {
        const char* what;
        bool upload;
        std::optional<QByteArray> existing; // at the destination
        QByteArray source;
        bool overwrite;
        std::optional<qint64> offset;
        QString failure;
        QByteArray expected;
    };
    const Case cases[] = {
        {"upload of a new file", true, {}, big, false, {}, "(no error)", big},
        {"upload over a longer file", true, QByteArray(2000, 'x'), "short", true, {}, "(no error)", "short"},
        {"upload resumed mid-chunk", true, big.first(300'000), big, false, 300'000, "(no error)", big},
        {"empty upload", true, "old", {}, true, {}, "(no error)", {}},
        {"download from the start", false, {}, "big", false, {}, "(no error)", big},
        {"download continuing mid-chunk", false, big.first(700'000), "big", false, 700'000, "(no error)", big},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("transfer-%1").arg(index++);
        const QString target = c.upload ? remote(name) : local.file(name);
        if (c.existing)
            c.upload ? server->put(name, *c.existing) : local.write(name, *c.existing);
        QList<double> progress;
        const auto onProgress = [&](double fraction) { progress.append(fraction); };
        EXPECT_EQ(failureText([&] {
                      if (c.upload) {
                          LocalFile source = LocalFile::open(local.write(name, c.source), O_RDONLY);
                          client().upload(source, target, c.overwrite, c.offset, onProgress, {});
                      } else {
                          LocalFile file = LocalFile::open(target, O_WRONLY | O_CREAT);
                          client().download(remote(QString::fromUtf8(c.source)), file, c.offset, onProgress, {});
                      }
                  }),
                  c.failure)
            << c.what;
        EXPECT_EQ(contentOf(target), c.expected) << c.what;
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(progress.isEmpty()) << c.what;
        } else if (c.failure == "(no error)") {
            EXPECT_EQ(progress.value(progress.size() - 1), 1.0) << c.what;
        }
        EXPECT_TRUE(std::ranges::is_sorted(progress)) << c.what;
    }
    expectNothingLeft();
}

TEST_F(SFTPSession, AnInterruptedDownloadKeepsWhatCameInOrderAndResumesFromThere)
{
    const QByteArray bytes = randomBytes(8 * 1024 * 1024 + 5);
    const QString cancelled = local.file("cancelled");
    const QString truncated = local.file("truncated");
    server->put("cancelled", bytes);
    server->put("truncated", bytes);
    std::stop_source stop;
    // Another process cuts the file short while a window of requests is in flight beyond the cut.
    const auto cut = [&](double fraction) {
        if (fraction > 0.5)
            QFile::resize(remote("truncated"), bytes.size() / 4);
    };
    const auto cancel = [&](double fraction) {
        if (fraction > 0.3)
            stop.request_stop();
    };
    const std::tuple<const char*, QString, SFTPClient::Progress, std::stop_token, QString> cases[] = {
        {"cancelled", cancelled, cancel, stop.get_token(), "cancelled"},
        {"truncated by another process", truncated, cut, {}, L("operation_failed")},
    };
    for (const auto& [what, target, progress, token, failure] : cases) {
        EXPECT_EQ(failureText([&, target = target, progress = progress, token = token] {
                      LocalFile file = LocalFile::open(target, O_WRONLY | O_CREAT);
                      client().download(remote(QFileInfo(target).fileName()), file, std::nullopt, progress, token);
                  }),
                  failure)
            << what;
        const QByteArray kept = contentOf(target);
        EXPECT_GT(kept.size(), 0) << what;
        EXPECT_LT(kept.size(), bytes.size()) << what;
        EXPECT_EQ(kept, bytes.first(kept.size())) << what;
    }

    LocalFile file = LocalFile::open(cancelled, O_WRONLY);
    client().download(remote("cancelled"), file, QFileInfo(cancelled).size(), {}, {});
    EXPECT_EQ(contentOf(cancelled), bytes);
    expectNothingLeft();
}

TEST_F(SFTPSession, TheHostKeyIsScannedOnceAndAKeptKeyThatChangedIsAMismatch)
{
    const ServerProfile pinned = server->profile();
    // Counted at the server, where a scan shows as one connection for each key type it asks for.
    const auto connectionsFor = [&](const ServerProfile& profile, const QString& failure) {
        const int before = server->connections();
        EXPECT_EQ(failureText([&] { SFTPClient(profile, server->password()).list(server->home(), {}); }), failure);
        return server->connections() - before;
    };
    const int scan = connectionsFor(pinned, "(no error)") - 1;
    ASSERT_GT(scan, 0);
    EXPECT_EQ(connectionsFor(pinned, "(no error)"), 1) << "the session alone";

    server->replaceHostKey();
    EXPECT_EQ(connectionsFor(pinned, L("ssh_host_mismatch")), 1 + scan) << "refused by ssh, then a scan tells why";
    EXPECT_EQ(connectionsFor(pinned, L("ssh_host_mismatch")), scan) << "the refused key is not offered again";
    EXPECT_EQ(connectionsFor(server->profile(), "(no error)"), scan + 1) << "a new pin";
    expectNothingLeft();
}

TEST_F(SFTPSession, OnlyTheRightPinAndSecretLogInAndTheSecretStaysOffEveryCommandLine)
{
    // ssh starts the helper only for a moment; a wrapper records what ssh handed it, then
    // becomes the real helper.
    const QString record = local.file("askrelay");
    const QString wrapper =
        local.write("wrapper", QStringLiteral("#!/bin/sh\ncat /proc/$$/cmdline /proc/$$/environ > '%1'\n"
                                              "exec '%2' \"$@\"\n")
                                   .arg(record, askRelay)
                                   .toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    AskRelayLocation::setPath(wrapper);
    server->put("big", randomBytes(4 * 1024 * 1024));
    // Nothing of this process's own environment reaches ssh.
    qputenv("DRAVIK_TEST_VARIABLE", "inherited");

    // Read while the transfer runs, so that what ssh holds in the middle of it is checked.
    QList<QByteArray> ssh;
    LocalFile copy = LocalFile::open(local.file("copy"), O_WRONLY | O_CREAT);
    client().download(remote("big"), copy, std::nullopt,
                      [&](double) {
                          if (ssh.isEmpty())
                              ssh = childProcesses("ssh");
                      },
                      {});
    ASSERT_EQ(ssh.size(), 1);
    for (const QByteArray& seen : {ssh.first(), contentOf(record)})
        EXPECT_FALSE(seen.contains(server->password().toUtf8()));
    EXPECT_FALSE(ssh.first().contains("DRAVIK_TEST_VARIABLE"));
    EXPECT_TRUE(contentOf(record).contains("DRAVIK_AUTH_SOCKET=/tmp/drvk-auth-"));

    ServerProfile wrongPin = server->profile();
    wrongPin.sshFingerprint = "SHA256:" + HostKeyPinning::fingerprint("some other key");
    // Nothing answers on the port the server left: the scan is empty.
    ServerProfile silentPort = server->profile();
    silentPort.port = server->port() == 65535 ? 1 : server->port() + 1;
    const std::tuple<const char*, ServerProfile, QString, QString> cases[] = {
        {"password", server->profile(), server->password(), "(no error)"},
        {"wrong password", server->profile(), server->password() + "x", L("connect_failed")},
        {"longest password", server->profile(), QString(4096, 'p'), L("connect_failed")},
        {"password too long", server->profile(), QString(4095, 'p') + "é", L("long_password")},
        // ssh would take the first line for the whole password.
        {"password with a line break", server->profile(), server->password() + "\nx", L("invalid_password")},
        {"key and passphrase", server->profile(true), server->secret(true), "(no error)"},
        {"key and wrong passphrase", server->profile(true), "wrong", L("connect_failed")},
        {"wrong pin", wrongPin, server->password(), L("ssh_host_mismatch")},
        {"no host key", silentPort, server->password(), L("ssh_host_mismatch")},
    };
    for (const auto& [what, profile, secret, failure] : cases) {
        EXPECT_EQ(failureText([&] { SFTPClient(profile, secret).list(server->home(), {}); }), failure) << what;
        expectNothingLeft();
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(failureText([&] { client().list(server->home(), stop.get_token()); }), "cancelled");
    AskRelayLocation::setPath(local.file("nothing"));
    EXPECT_EQ(failureText([&] { client().list(server->home(), {}); }), L("connect_failed")) << "helper missing";
    expectNothingLeft();
}

TEST_F(SFTPSession, TheWatchdogEndsOnlyIdleConnections)
{
    ManualClock clock;
    SFTPWire wire;
    wire.start(server->profile(), server->password());
    const auto statAfterIdling = [&](int ticks) {
        for (int tick = 0; tick < ticks; ++tick)
            clock.advance(10s);
        return failureText([&] { SFTPOperations::stat(wire, server->home()); });
    };
    EXPECT_EQ(statAfterIdling(9), "(no error)") << "idle for 90 s";
    EXPECT_EQ(statAfterIdling(9), "(no error)") << "idle for 90 s again";
    EXPECT_EQ(statAfterIdling(10), L("ftp_error", "56") + ' ' + L("connect_failed")) << "idle for 100 s";
    wire.close();
}

// A replaced file is the old one or the new one, never a part of the new one: written to a hidden
// name in the same session, with the file's mode, and moved over the file with posix-rename. A
// server that refuses the request though it announced it has the temporary copy removed and the
// file written directly. The mode is set exactly whatever umask the server has; one that refuses
// to set it still takes the file, created no more readable than the one it replaces.
TEST_F(SFTPSession, AReplacedFileIsTheOldOrTheNewNeverAPart)
{
    const QByteArray before(1024 * 1024, 'o');
    const QByteArray after = randomBytes(1024 * 1024);
    const SSHServer refusing(QStringLiteral("internal-sftp -P posix-rename"));
    const SSHServer narrowing(QStringLiteral("internal-sftp -u 077"));
    const SSHServer withoutModes(QStringLiteral("internal-sftp -P fsetstat"));
    const std::tuple<const char*, const SSHServer*, bool, QByteArray, bool, unsigned> cases[] = {
        {"renamed over", server.get(), false, after, false, 0600},
        {"executable renamed over", server.get(), false, after, false, 0755},
        {"stopped halfway", server.get(), true, before, false, 0600},
        {"rename refused", &refusing, false, after, true, 0755},
        {"umask 077", &narrowing, false, after, false, 0755},
        {"modes refused", &withoutModes, false, after, false, 0600},
    };
    for (const auto& [what, host, stopHalfway, expected, direct, mode] : cases) {
        const QString target = host->put("notes.txt", before);
        ::chmod(QFile::encodeName(target).constData(), mode);
        std::stop_source stop;
        bool wroteDirectly = false;
        LocalFile source = LocalFile::open(local.write("notes.txt", after), O_RDONLY);
        EXPECT_EQ(failureText([&] {
                      SFTPClient(host->profile(), host->password())
                          .replace(
                              source, host->path(".notes.txt.dravik-upload-0"), target, [&] { wroteDirectly = true; },
                              [&](double) {
                                  if (stopHalfway)
                                      stop.request_stop();
                              },
                              stop.get_token());
                  }),
                  stopHalfway ? "cancelled" : "(no error)")
            << what;
        EXPECT_EQ(contentOf(target), expected) << what;
        EXPECT_EQ(permissionsOf(target), mode) << what;
        EXPECT_EQ(wroteDirectly, direct) << what;
        // Only a stop leaves the hidden copy behind, as unreadable to others as the file.
        EXPECT_EQ(QDir(host->home()).entryList({"*notes*"}, QDir::Files | QDir::Hidden),
                  stopHalfway ? QStringList({".notes.txt.dravik-upload-0", "notes.txt"}) : QStringList("notes.txt"))
            << what;
        if (stopHalfway) {
            EXPECT_EQ(permissionsOf(host->path(".notes.txt.dravik-upload-0")), mode) << what;
        }
        QFile::remove(host->path(".notes.txt.dravik-upload-0"));
    }
    expectNothingLeft();
}
