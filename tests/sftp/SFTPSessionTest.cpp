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
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace ftptest;

namespace {

const QString sshProgram = QStringLiteral("/usr/bin/ssh");
const QString askRelay = QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay");

QByteArray readProc(pid_t pid, const char* entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList split(const QByteArray& raw)
{
    return QString::fromUtf8(raw).split(QChar(0), Qt::SkipEmptyParts);
}

// Watches this process's children while it lives and records, for each child that ran `program`,
// its environment as /proc showed it.
class ChildWatcher {
public:
    struct Seen {
        pid_t pid;
        QStringList environment;
    };

    explicit ChildWatcher(const QString& program = sshProgram)
        : program(program), watcher([this](std::stop_token token) { watch(token); })
    {
    }

    QList<Seen> seen() const
    {
        std::lock_guard guard(lock);
        return found;
    }

private:
    void watch(std::stop_token token)
    {
        const QString tasks = QStringLiteral("/proc/%1/task").arg(::getpid());
        const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
        for (; !token.stop_requested(); std::this_thread::sleep_for(500us)) {
            for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile children(tasks + '/' + task + "/children");
                if (!children.open(QIODevice::ReadOnly))
                    continue;
                for (const QByteArray& text : children.readAll().split(' ')) {
                    const pid_t pid = pid_t(text.trimmed().toInt());
                    std::lock_guard guard(lock);
                    if (pid <= 0 || known.contains(pid))
                        continue;
                    const QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
                    // Until it has called exec, a fresh child still runs this program.
                    if (executable.isEmpty() || executable == self)
                        continue;
                    // exec shows the new program a moment before its arguments: look again later.
                    const QByteArray environment = readProc(pid, "environ");
                    if (executable == program && (readProc(pid, "cmdline").isEmpty() || environment.isEmpty()))
                        continue;
                    known.append(pid);
                    if (executable == program)
                        found.append({pid, split(environment)});
                }
            }
        }
    }

    QString program;
    mutable std::mutex lock;
    QList<Seen> found;
    QList<pid_t> known;
    std::jthread watcher;
};

class SFTPSession : public testing::Test {
protected:
    void SetUp() override
    {
        AskRelayLocation::setPath(askRelay);
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
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

    // Neither the private folder nor the password socket's folder of any ssh run is left.
    void expectNothingLeft(const ChildWatcher& watcher) const
    {
        EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("drvk-*")}).isEmpty());
        for (const ChildWatcher::Seen& ssh : watcher.seen())
            for (const QString& variable : ssh.environment)
                if (variable.startsWith(QStringLiteral("DRAVIK_AUTH_SOCKET="))) {
                    EXPECT_FALSE(QFileInfo::exists(QFileInfo(variable.section('=', 1)).path()));
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
    server->put("listing/plain.txt", "abc");
    server->put("listing/with  two spaces.txt", "12345");
    server->put("listing/ünïcødé ✓", "");

    ChildWatcher watcher;
    const QList<FileEntry> first = client().list(remote("listing"), {});
    const QList<FileEntry> second = client().list(remote("listing"), {});

    QStringList names;
    for (const FileEntry& entry : first)
        names << entry.name;
    EXPECT_EQ(names, QStringList({"Sub Folder", "plain.txt", "ünïcødé ✓", "with  two spaces.txt"}));
    EXPECT_TRUE(first[0].isDirectory);
    EXPECT_EQ(first[1].size, 3);
    EXPECT_EQ(first[3].size, 5);
    const QDateTime written = QFileInfo(remote("listing/plain.txt")).lastModified();
    EXPECT_EQ(first[1].modified, QDateTime::fromSecsSinceEpoch(written.toSecsSinceEpoch(), QTimeZone::utc()));
    EXPECT_EQ(first, second);
    EXPECT_EQ(watcher.seen().size(), 2);
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, CommandsChangeTheServer)
{
    const QString file = server->put("file.txt", "0123456789");
    QDir(server->home()).mkpath(QStringLiteral("tree/a/b"));
    server->put("tree/top.txt", "t");
    server->put("tree/a/b/deep.txt", "d");
    QFile::link(QStringLiteral("/etc/hostname"), remote("tree/a/link"));
    server->giveToAccount(remote("tree"));
    const SFTPClient sftp = client();
    ChildWatcher watcher;

    sftp.createDirectory(remote("made"), {});
    EXPECT_TRUE(QFileInfo(remote("made")).isDir());
    EXPECT_EQ(failureText([&] { sftp.createDirectory(remote("made"), {}); }), L("ftp_error", "4"));

    sftp.rename(remote("made"), remote("renamed"), {});
    EXPECT_FALSE(QFileInfo::exists(remote("made")));
    EXPECT_TRUE(QFileInfo(remote("renamed")).isDir());

    sftp.setPermissions(file, 0640, {});
    struct stat attributes {};
    ASSERT_EQ(::stat(file.toUtf8().constData(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 07777, 0640u);

    const FileEntry entry = sftp.stat(file, {});
    EXPECT_EQ(entry.name, "file.txt");
    EXPECT_EQ(entry.size, 10);
    EXPECT_FALSE(entry.isDirectory);

    sftp.remove(file, false, {});
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(failureText([&] { sftp.remove(file, false, {}); }), L("ftp_error", "2"));
    sftp.remove(remote("renamed"), true, {});
    EXPECT_FALSE(QFileInfo::exists(remote("renamed")));

    sftp.deleteTree(remote("tree"), true, 0, {});
    EXPECT_FALSE(QFileInfo::exists(remote("tree")));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/etc/hostname")));
    EXPECT_EQ(failureText([&] { sftp.deleteTree(QStringLiteral("/"), true, 0, {}); }), L("recursion_limit"));
    EXPECT_EQ(failureText([&] { sftp.deleteTree(remote("x"), false, 100, {}); }), L("recursion_limit"));
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, TransfersArriveByteForByte)
{
    const QByteArray big = randomBytes(2 * 1024 * 1024 + 123);
    server->put("big", big);
    server->put("empty", QByteArray());
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
        {"refused overwrite", true, "kept", "new", false, {}, L("ftp_error", "4"), "kept"},
        {"upload resumed", true, big.first(300'000), big, false, 300'000, "(no error)", big},
        {"upload resumed onto a changed file", true, QByteArray(10, 'x'), big, false, 20, L("destination_changed"),
         QByteArray(10, 'x')},
        {"empty upload", true, "old", {}, true, {}, "(no error)", {}},
        {"download from the start", false, {}, "big", false, {}, "(no error)", big},
        {"download continuing a shorter file", false, big.first(700'000), "big", false, 700'000, "(no error)", big},
        {"empty download", false, {}, "empty", false, {}, "(no error)", {}},
    };
    ChildWatcher watcher;
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
    }
    expectNothingLeft(watcher);
}

TEST_F(SFTPSession, OnlyTheRightPinAndSecretLogIn)
{
    const QString otherKey = HostKeyPinning::fingerprint("some other key");
    struct Case {
        const char* what;
        ServerProfile profile;
        QString secret;
        QString failure;
        bool startsSSH;
        QString helper = askRelay;
    };
    ServerProfile wrongPin = server->profile();
    wrongPin.sshFingerprint = "SHA256:" + otherKey;
    // Nothing answers on the port the server left: the scan is empty.
    ServerProfile silentPort = server->profile();
    silentPort.port = server->port() == 65535 ? 1 : server->port() + 1;
    const Case cases[] = {
        {"password", server->profile(), server->password(), "(no error)", true},
        {"wrong password", server->profile(), server->password() + "x", L("connect_failed"), true},
        {"longest password", server->profile(), QString(4096, 'p'), L("connect_failed"), true},
        {"password too long", server->profile(), QString(4095, 'p') + "é", L("long_password"), false},
        // ssh would take the first line for the whole password.
        {"password with a line break", server->profile(), server->password() + "\nx", L("invalid_password"), false},
        {"key and passphrase", server->profile(true), server->secret(true), "(no error)", true},
        {"key and wrong passphrase", server->profile(true), "wrong", L("connect_failed"), true},
        {"helper missing", server->profile(), server->password(), L("connect_failed"), false, local.file("nothing")},
        {"wrong pin", wrongPin, server->password(), L("ssh_host_mismatch"), false},
        {"no host key", silentPort, server->password(), L("ssh_host_mismatch"), false},
    };
    for (const Case& c : cases) {
        AskRelayLocation::setPath(c.helper);
        ChildWatcher watcher;
        EXPECT_EQ(failureText([&] { SFTPClient(c.profile, c.secret).list(server->home(), {}); }), c.failure) << c.what;
        EXPECT_EQ(watcher.seen().isEmpty(), !c.startsSSH) << c.what;
        expectNothingLeft(watcher);
    }

    std::stop_source stop;
    stop.request_stop();
    ChildWatcher scans(QStringLiteral("/usr/bin/ssh-keyscan"));
    ChildWatcher watcher;
    EXPECT_EQ(failureText([&] { client().list(server->home(), stop.get_token()); }), "cancelled");
    EXPECT_TRUE(scans.seen().isEmpty());
    EXPECT_TRUE(watcher.seen().isEmpty());
    expectNothingLeft(watcher);
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
    EXPECT_EQ(statAfterIdling(10), L("ftp_error", "56") + '\n' + L("connect_failed")) << "idle for 100 s";
    wire.close();
}

TEST_F(SFTPSession, ThePasswordStaysOffEveryCommandLineAndEnvironment)
{
    // ssh starts the helper only for a moment; a wrapper records what ssh handed it, then
    // becomes the real helper.
    const QString record = local.file("askrelay");
    const QString wrapper = local.write("wrapper", QStringLiteral("#!/bin/sh\ncat /proc/$$/cmdline > '%1.cmdline'\n"
                                                                  "cat /proc/$$/environ > '%1.environ'\n"
                                                                  "exec '%2' \"$@\"\n")
                                                       .arg(record, askRelay)
                                                       .toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    AskRelayLocation::setPath(wrapper);
    server->put("big", randomBytes(4 * 1024 * 1024));
    const QByteArray secret = server->password().toUtf8();
    // Nothing of this process's own environment reaches ssh.
    qputenv("DRAVIK_TEST_VARIABLE", "inherited");

    ChildWatcher watcher;
    QByteArray commandLine;
    QByteArray environment;
    // Read while the transfer runs, so that what ssh holds in the middle of it is checked.
    LocalFile copy = LocalFile::open(local.file("copy"), O_WRONLY | O_CREAT);
    client().download(remote("big"), copy, std::nullopt,
                      [&](double) {
                          if (commandLine.isEmpty() && !watcher.seen().isEmpty()) {
                              commandLine = readProc(watcher.seen().first().pid, "cmdline");
                              environment = readProc(watcher.seen().first().pid, "environ");
                          }
                      },
                      {});
    ASSERT_FALSE(commandLine.isEmpty());
    for (const QByteArray& seen :
         {commandLine, environment, contentOf(record + ".cmdline"), contentOf(record + ".environ")})
        EXPECT_FALSE(seen.contains(secret));
    EXPECT_FALSE(environment.contains("DRAVIK_TEST_VARIABLE"));
    EXPECT_TRUE(contentOf(record + ".environ").contains("DRAVIK_AUTH_SOCKET=/tmp/drvk-auth-"));
    expectNothingLeft(watcher);
}
