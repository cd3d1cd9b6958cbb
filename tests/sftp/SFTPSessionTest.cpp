#include "AskRelayLocation.h"
#include "CancellationError.h"
#include "ChildWatcher.h"
#include "FTPError.h"
#include "HostKeyPinning.h"
#include "L10n.h"
#include "ManualClock.h"
#include "SFTPClient.h"
#include "SFTPFailure.h"
#include "SFTPOperations.h"
#include "SFTPWire.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const QString sshProgram = QStringLiteral("/usr/bin/ssh");

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype index = 0; index < size; ++index)
        bytes[index] = char(QRandomGenerator::global()->generate());
    return bytes;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What an operation threw, as the user would be told, or "" for success.
template <typename Action> QString failureOf(Action&& action)
{
    try {
        action();
        return QString();
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    } catch (const SFTPFailure& e) {
        return QStringLiteral("status %1").arg(e.status());
    } catch (const FTPError& e) {
        if (e.kind() == FTPError::Kind::command)
            return QStringLiteral("exit %1: %2").arg(e.exitStatus()).arg(e.detail());
        return e.text();
    }
}

class SFTPSession : public testing::Test {
protected:
    void SetUp() override
    {
        AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
        server = std::make_unique<SSHServer>();
        // The connection's private folders land here, where the test can see that they go.
        qputenv("TMPDIR", temporary.path().toUtf8());
    }
    void TearDown() override { qunsetenv("TMPDIR"); }

    SFTPClient client(bool withKey = false) const
    {
        return SFTPClient(server->profile(withKey), withKey ? server->keyPassphrase() : server->password());
    }
    QString remote(const QString& name) const { return server->home() + QLatin1Char('/') + name; }
    QString serverFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(remote(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        server->giveToAccount(remote(name));
        return remote(name);
    }

    // Neither the private folder nor the password socket's folder of any ssh run is left.
    void expectNothingLeft(const ChildWatcher& watcher) const
    {
        EXPECT_TRUE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        for (const ChildWatcher::Seen& ssh : watcher.seen()) {
            for (const QString& variable : ssh.environment)
                if (variable.startsWith(QStringLiteral("DRAVIK_AUTH_SOCKET="))) {
                    EXPECT_FALSE(QFileInfo::exists(QFileInfo(variable.section(QLatin1Char('='), 1)).path()));
                }
        }
    }

    TemporaryFolder temporary;
    TemporaryFolder local;
    std::unique_ptr<SSHServer> server;
};

} // namespace

TEST_F(SFTPSession, ListsEveryNameInASessionOfItsOwn)
{
    QDir(server->home()).mkpath(QStringLiteral("listing/Sub Folder"));
    const QList<QPair<QString, QByteArray>> files{
        {"plain.txt", "abc"}, {"with  two spaces.txt", "12345"}, {QStringLiteral("ünïcødé ✓"), ""}};
    for (const auto& [name, bytes] : files)
        serverFile(QStringLiteral("listing/") + name, bytes);

    ChildWatcher watcher(sshProgram);
    const QList<FileEntry> first = client().list(remote(QStringLiteral("listing")), {});
    const QList<FileEntry> second = client().list(remote(QStringLiteral("listing")), {});

    QStringList names;
    for (const FileEntry& entry : first)
        names << entry.name;
    EXPECT_EQ(names, QStringList({QStringLiteral("Sub Folder"), QStringLiteral("plain.txt"),
                                  QStringLiteral("ünïcødé ✓"), QStringLiteral("with  two spaces.txt")}));
    EXPECT_TRUE(first[0].isDirectory);
    EXPECT_EQ(first[1].size, 3);
    EXPECT_EQ(first[3].size, 5);
    const QDateTime written = QFileInfo(remote(QStringLiteral("listing/plain.txt"))).lastModified();
    EXPECT_EQ(first[1].modified, QDateTime::fromSecsSinceEpoch(written.toSecsSinceEpoch(), QTimeZone::utc()));
    EXPECT_EQ(first, second);
    EXPECT_EQ(watcher.seen().size(), 2);
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, CommandsChangeTheServer)
{
    const QString file = serverFile(QStringLiteral("file.txt"), "0123456789");
    QDir(server->home()).mkpath(QStringLiteral("tree/a/b"));
    serverFile(QStringLiteral("tree/top.txt"), "t");
    serverFile(QStringLiteral("tree/a/b/deep.txt"), "d");
    QFile::link(QStringLiteral("/etc/hostname"), remote(QStringLiteral("tree/a/link")));
    server->giveToAccount(remote(QStringLiteral("tree")));
    const SFTPClient sftp = client();
    ChildWatcher watcher(sshProgram);

    sftp.createDirectory(remote(QStringLiteral("made")), {});
    EXPECT_TRUE(QFileInfo(remote(QStringLiteral("made"))).isDir());
    EXPECT_EQ(failureOf([&] { sftp.createDirectory(remote(QStringLiteral("made")), {}); }), QStringLiteral("status 4"));

    sftp.rename(remote(QStringLiteral("made")), remote(QStringLiteral("renamed")), {});
    EXPECT_FALSE(QFileInfo::exists(remote(QStringLiteral("made"))));
    EXPECT_TRUE(QFileInfo(remote(QStringLiteral("renamed"))).isDir());

    sftp.setPermissions(file, 0640, {});
    struct stat attributes {};
    ASSERT_EQ(::stat(file.toUtf8().constData(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 07777, 0640u);

    const FileEntry entry = sftp.stat(file, {});
    EXPECT_EQ(entry.name, QStringLiteral("file.txt"));
    EXPECT_EQ(entry.size, 10);
    EXPECT_FALSE(entry.isDirectory);

    sftp.remove(file, false, {});
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(failureOf([&] { sftp.remove(file, false, {}); }), QStringLiteral("status 2"));
    sftp.remove(remote(QStringLiteral("renamed")), true, {});
    EXPECT_FALSE(QFileInfo::exists(remote(QStringLiteral("renamed"))));

    sftp.deleteTree(remote(QStringLiteral("tree")), true, 0, {});
    EXPECT_FALSE(QFileInfo::exists(remote(QStringLiteral("tree"))));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/etc/hostname")));
    EXPECT_EQ(failureOf([&] { sftp.deleteTree(QStringLiteral("/"), true, 0, {}); }), L("recursion_limit"));
    EXPECT_EQ(failureOf([&] { sftp.deleteTree(remote(QStringLiteral("x")), false, 100, {}); }), L("recursion_limit"));
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, UploadsArriveByteForByte)
{
    const QByteArray big = randomBytes(1024 * 1024 + 7);
    struct Case {
        const char* what;
        std::optional<QByteArray> existing;
        QByteArray source;
        bool overwrite;
        std::optional<qint64> offset;
        QString failure;
        QByteArray expected;
    };
    const Case cases[] = {
        {"new file", std::nullopt, big, false, std::nullopt, QString(), big},
        {"overwrite a longer file", QByteArray(2000, 'x'), "short", true, std::nullopt, QString(), "short"},
        {"refused overwrite", QByteArray("kept"), "new", false, std::nullopt, QStringLiteral("status 4"), "kept"},
        {"resume", big.first(300'000), big, false, 300'000, QString(), big},
        {"resume onto a changed file", QByteArray(10, 'x'), big, false, 20, L("destination_changed"),
         QByteArray(10, 'x')},
        {"empty file", QByteArray("old"), QByteArray(), true, std::nullopt, QString(), QByteArray()},
    };
    ChildWatcher watcher(sshProgram);
    int index = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("upload-%1").arg(index++);
        if (c.existing)
            serverFile(name, *c.existing);
        const QString source = local.write(name, c.source);
        QList<double> progress;
        EXPECT_EQ(failureOf([&] {
                      client().upload(source, remote(name), c.overwrite, c.offset,
                                      [&](double fraction) { progress.append(fraction); }, {});
                  }),
                  c.failure)
            << c.what;
        EXPECT_EQ(contents(remote(name)), c.expected) << c.what;
        if (c.failure.isEmpty() && !c.source.isEmpty()) {
            EXPECT_EQ(progress.value(progress.size() - 1), 1.0) << c.what;
        }
        if (c.source.isEmpty()) {
            EXPECT_TRUE(progress.isEmpty()) << c.what;
        }
    }
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, DownloadsArriveByteForByte)
{
    const QByteArray big = randomBytes(2 * 1024 * 1024 + 123);
    serverFile(QStringLiteral("big"), big);
    serverFile(QStringLiteral("empty"), QByteArray());
    struct Case {
        const char* what;
        QString remote;
        std::optional<QByteArray> existing;
        std::optional<qint64> offset;
        QByteArray expected;
    };
    const Case cases[] = {
        {"from the start", QStringLiteral("big"), std::nullopt, std::nullopt, big},
        {"continuing a shorter local file", QStringLiteral("big"), big.first(700'000), 700'000, big},
        {"empty file", QStringLiteral("empty"), std::nullopt, std::nullopt, QByteArray()},
    };
    ChildWatcher watcher(sshProgram);
    int index = 0;
    for (const Case& c : cases) {
        const QString target = local.file(QStringLiteral("download-%1").arg(index++));
        if (c.existing)
            local.write(QFileInfo(target).fileName(), *c.existing);
        QList<double> progress;
        client().download(remote(c.remote), target, c.offset, [&](double fraction) { progress.append(fraction); }, {});
        EXPECT_EQ(contents(target), c.expected) << c.what;
        if (c.expected.isEmpty())
            EXPECT_TRUE(progress.isEmpty()) << c.what;
        else
            EXPECT_EQ(progress.last(), 1.0) << c.what;
    }
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, ACancelledDownloadKeepsItsOctetsAndResumes)
{
    const QByteArray big = randomBytes(8 * 1024 * 1024);
    serverFile(QStringLiteral("big"), big);
    const QString target = local.file(QStringLiteral("partial"));
    ChildWatcher watcher(sshProgram);

    std::stop_source stop;
    EXPECT_EQ(failureOf([&] {
                  client().download(
                      remote(QStringLiteral("big")), target, std::nullopt,
                      [&](double fraction) {
                          if (fraction > 0.25)
                              stop.request_stop();
                      },
                      stop.get_token());
              }),
              QStringLiteral("cancelled"));
    const QByteArray partial = contents(target);
    ASSERT_GT(partial.size(), 0);
    ASSERT_LT(partial.size(), big.size());
    EXPECT_EQ(partial, big.first(partial.size()));

    client().download(remote(QStringLiteral("big")), target, partial.size(), {}, {});
    EXPECT_EQ(contents(target), big);
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, ACancellationBeforeTheStartStartsNothing)
{
    std::stop_source stop;
    stop.request_stop();
    ChildWatcher scans(QStringLiteral("/usr/bin/ssh-keyscan"));
    ChildWatcher watcher(sshProgram);
    EXPECT_EQ(failureOf([&] { client().list(server->home(), stop.get_token()); }), QStringLiteral("cancelled"));
    EXPECT_TRUE(scans.seen().isEmpty());
    EXPECT_TRUE(watcher.seen().isEmpty());
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, LoginsSucceedOnlyWithTheRightSecret)
{
    struct Case {
        const char* what;
        bool withKey;
        QString secret;
        QString askRelay;
        QString failure;
        bool startsSSH;
    };
    const QString relay = QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay");
    const Case cases[] = {
        {"password", false, server->password(), relay, QString(), true},
        {"wrong password", false, server->password() + QStringLiteral("x"), relay, L("connect_failed"), true},
        {"longest password", false, QString(4096, QLatin1Char('p')), relay, L("connect_failed"), true},
        {"password too long", false, QString(4095, QLatin1Char('p')) + QStringLiteral("é"), relay, L("long_password"),
         false},
        {"key and passphrase", true, server->keyPassphrase(), relay, QString(), true},
        {"key and wrong passphrase", true, QStringLiteral("wrong"), relay, L("connect_failed"), true},
        {"helper missing", false, server->password(), local.file(QStringLiteral("nothing")), L("connect_failed"),
         false},
    };
    for (const Case& c : cases) {
        AskRelayLocation::setPath(c.askRelay);
        ChildWatcher watcher(sshProgram);
        const SFTPClient sftp(server->profile(c.withKey), c.secret);
        EXPECT_EQ(failureOf([&] { sftp.list(server->home(), {}); }), c.failure) << c.what;
        EXPECT_EQ(watcher.seen().isEmpty(), !c.startsSSH) << c.what;
        expectNothingLeft(watcher);
    }
}

TEST(SFTPHostKey, AWrongPinNeverStartsSSH)
{
    std::unique_ptr<SSHServer> running;
    try {
        running = std::make_unique<SSHServer>();
    } catch (const std::runtime_error& e) {
        // Without root, sshd may lack its privilege separation folder.
        if (SSHServer::canCreateAccounts())
            throw;
        GTEST_SKIP() << e.what();
    }
    const SSHServer& server = *running;
    TemporaryFolder temporary;
    qputenv("TMPDIR", temporary.path().toUtf8());
    ServerProfile profile = server.profile();
    const QStringList pins{QStringLiteral("SHA256:") + HostKeyPinning::fingerprint("some other key"),
                           HostKeyPinning::fingerprint("some other key") + QStringLiteral("=")};
    for (const QString& pin : pins) {
        profile.sshFingerprint = pin;
        ChildWatcher watcher(sshProgram);
        try {
            SFTPClient(profile, QStringLiteral("secret")).list(QStringLiteral("/"), {});
            ADD_FAILURE() << "connected despite the wrong pin";
        } catch (const FTPError& e) {
            EXPECT_EQ(e.text(), L("ssh_host_mismatch"));
        }
        EXPECT_TRUE(watcher.seen().isEmpty());
        EXPECT_TRUE(QDir(temporary.path()).isEmpty());
    }
    // Nothing answers on the port the server left: the scan is empty.
    profile.sshFingerprint = server.fingerprint();
    profile.port = server.port() == 65535 ? 1 : server.port() + 1;
    ChildWatcher watcher(sshProgram);
    EXPECT_EQ(failureOf([&] { SFTPClient(profile, QString()).list(QStringLiteral("/"), {}); }), L("ssh_host_mismatch"));
    EXPECT_TRUE(watcher.seen().isEmpty());
    qunsetenv("TMPDIR");
}

TEST_F(SFTPSession, TheWatchdogEndsOnlyIdleConnections)
{
    ManualClock clock;
    SFTPWire wire;
    wire.start(server->profile(), server->password());
    for (int tick = 0; tick < 9; ++tick)
        clock.advance(10s);
    EXPECT_EQ(failureOf([&] { SFTPOperations::stat(wire, server->home()); }), QString()) << "idle for 90 s";
    for (int tick = 0; tick < 9; ++tick)
        clock.advance(10s);
    EXPECT_EQ(failureOf([&] { SFTPOperations::stat(wire, server->home()); }), QString()) << "idle for 90 s again";
    for (int tick = 0; tick < 10; ++tick)
        clock.advance(10s);
    EXPECT_EQ(failureOf([&] { SFTPOperations::stat(wire, server->home()); }),
              QStringLiteral("exit 56: ") + L("connect_failed"))
        << "idle for 100 s";
    wire.close();
}

TEST_F(SFTPSession, ThePasswordStaysOffEveryCommandLineAndEnvironment)
{
    // ssh starts the helper only for a moment; a wrapper records what ssh handed it, then
    // becomes the real helper.
    const QString record = local.file(QStringLiteral("askrelay"));
    const QString wrapper =
        local.write(QStringLiteral("wrapper"), QStringLiteral("#!/bin/sh\ncat /proc/$$/cmdline > '%1.cmdline'\n"
                                                              "cat /proc/$$/environ > '%1.environ'\nexec '%2' \"$@\"\n")
                                                   .arg(record, QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"))
                                                   .toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    AskRelayLocation::setPath(wrapper);
    serverFile(QStringLiteral("big"), randomBytes(4 * 1024 * 1024));
    const QByteArray secret = server->password().toUtf8();

    ChildWatcher watcher(sshProgram);
    std::optional<ChildWatcher::Seen> running;
    client().download(remote(QStringLiteral("big")), local.file(QStringLiteral("copy")), std::nullopt,
                      [&](double) {
                          if (running || watcher.seen().isEmpty())
                              return;
                          ChildWatcher::Seen ssh = watcher.seen().first();
                          QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(ssh.pid));
                          QFile environment(QStringLiteral("/proc/%1/environ").arg(ssh.pid));
                          if (commandLine.open(QIODevice::ReadOnly) && environment.open(QIODevice::ReadOnly)) {
                              ssh.rawCommandLine = commandLine.readAll();
                              ssh.rawEnvironment = environment.readAll();
                              ssh.arguments = QString::fromUtf8(ssh.rawCommandLine).split(QChar(0), Qt::SkipEmptyParts);
                              ssh.environment =
                                  QString::fromUtf8(ssh.rawEnvironment).split(QChar(0), Qt::SkipEmptyParts);
                              running = ssh;
                          }
                      },
                      {});
    ASSERT_TRUE(running);
    EXPECT_FALSE(running->rawCommandLine.contains(secret));
    EXPECT_FALSE(running->rawEnvironment.contains(secret));
    EXPECT_FALSE(contents(record + QStringLiteral(".cmdline")).contains(secret));
    const QByteArray helperEnvironment = contents(record + QStringLiteral(".environ"));
    EXPECT_TRUE(helperEnvironment.contains("DRAVIK_AUTH_SOCKET=/tmp/drvk-auth-"));
    EXPECT_FALSE(helperEnvironment.contains(secret));

    const QStringList arguments = running->arguments;
    ASSERT_EQ(arguments.size(), 39);
    static const QRegularExpression knownHosts(
        QStringLiteral(
            "^UserKnownHostsFile=%1/drvk-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/known_hosts$")
            .arg(QRegularExpression::escape(temporary.path())));
    EXPECT_TRUE(knownHosts.match(arguments[9]).hasMatch()) << arguments[9].toStdString();
    QStringList expected = QStringList{sshProgram,  "-F",
                                       "/dev/null", "-T",
                                       "-a",        "-x",
                                       "-o",        "StrictHostKeyChecking=yes",
                                       "-o",        arguments[9],
                                       "-o",        "GlobalKnownHostsFile=/dev/null",
                                       "-o",        "UpdateHostKeys=no",
                                       "-o",        "ConnectTimeout=15",
                                       "-o",        "ServerAliveInterval=15",
                                       "-o",        "ServerAliveCountMax=3",
                                       "-o",        "NumberOfPasswordPrompts=1",
                                       "-o",        "KbdInteractiveAuthentication=no",
                                       "-o",        "IdentityAgent=none",
                                       "-o",        "IdentitiesOnly=yes",
                                       "-o",        "PreferredAuthentications=password",
                                       "-o",        "PubkeyAuthentication=no",
                                       "-p",        QString::number(server->port()),
                                       "-l",        server->user(),
                                       "-s",        "127.0.0.1",
                                       "sftp"};
    EXPECT_EQ(arguments, expected);

    QStringList environment = running->environment;
    ASSERT_EQ(environment.size(), 7);
    EXPECT_TRUE(environment[6].startsWith(QStringLiteral("DRAVIK_AUTH_SOCKET=/tmp/drvk-auth-")));
    environment.removeLast();
    EXPECT_EQ(environment, QStringList({"PATH=/usr/bin:/bin", "HOME=" + QDir::homePath(), "LC_ALL=C",
                                        "SSH_ASKPASS=" + wrapper, "SSH_ASKPASS_REQUIRE=force", "DISPLAY=dravik"}));
    expectNothingLeft(watcher);
}
