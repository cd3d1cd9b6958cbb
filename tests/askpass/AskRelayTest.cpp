#include "ChildProcess.h"
#include "SSHPasswordSocket.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const QString askRelay = QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay");

struct Result {
    int status;
    QByteArray output;
    QByteArray errors;
};

QByteArray readAll(int fd)
{
    QByteArray bytes;
    char buffer[8192];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    return bytes;
}

Result runAskRelay(const std::optional<QString>& socket)
{
    QStringList environment{QStringLiteral("PATH=/usr/bin:/bin")};
    if (socket)
        environment << QStringLiteral("DRAVIK_AUTH_SOCKET=") + *socket;
    ChildProcess child({askRelay, {QStringLiteral("Password for someone:")}, environment});
    child.closeStandardInput();
    Result result;
    result.output = readAll(child.standardOutput());
    result.errors = readAll(child.standardError());
    result.status = child.waitForExit();
    return result;
}

// A listener at a path of our choosing, which serves `reply` to one client, or holds it
// without a word when `reply` is absent.
class Listener {
public:
    Listener(const QString& path, std::optional<QByteArray> reply) : path(path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = path.toUtf8();
        std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        if (reply)
            server = std::thread([this, reply] {
                const int client = ::accept(fd, nullptr, nullptr);
                if (client < 0)
                    return;
                [[maybe_unused]] const ssize_t sent = ::send(client, reply->constData(), size_t(reply->size()), 0);
                ::close(client);
            });
    }
    ~Listener()
    {
        // Wakes a server still waiting in accept for a client that never came.
        ::shutdown(fd, SHUT_RDWR);
        if (server.joinable())
            server.join();
        ::close(fd);
        ::unlink(path.toUtf8().constData());
    }

private:
    QString path;
    int fd = -1;
    std::thread server;
};

} // namespace

TEST(AskRelay, PrintsTheSecretItIsServed)
{
    struct Case {
        const char* what;
        QByteArray secret;
        int status;
        QByteArray output;
    };
    const QByteArray longest(4096, 's');
    const Case cases[] = {
        {"longest secret", longest, 0, longest + "\n"},
        {"one octet too many", longest + "s", 1, ""},
        {"newline inside", "first\nsecond", 0, "first\nsecond\n"},
        {"non-ASCII", "p\xc3\xa4ss", 0, "p\xc3\xa4ss\n"},
        {"empty secret", "", 0, "\n"},
    };
    for (const Case& c : cases) {
        SSHPasswordSocket socket(QString::fromUtf8(c.secret));
        const Result result = runAskRelay(socket.path());
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_TRUE(result.errors.isEmpty()) << c.what;
    }
}

TEST(AskRelay, RefusesPathsBeyondTheAddressLimit)
{
    const QString folder = QStringLiteral("/tmp/drvk-askrelay-%1").arg(::getpid());
    QDir().mkpath(folder);
    const auto pathOf = [&](int length) {
        return folder + QLatin1Char('/') + QString(length - folder.size() - 1, 'p');
    };
    {
        Listener listener(pathOf(103), QByteArray("ok"));
        const Result result = runAskRelay(pathOf(103));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, QByteArray("ok\n"));
    }
    {
        Listener listener(pathOf(104), QByteArray("ok"));
        const Result result = runAskRelay(pathOf(104));
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.output.isEmpty());
    }
    QDir(folder).removeRecursively();
}

TEST(AskRelay, FailsWithoutASocket)
{
    TemporaryFolder folder;
    for (const std::optional<QString>& socket : {std::optional<QString>(), std::optional(folder.file("none"))}) {
        const Result result = runAskRelay(socket);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.output.isEmpty());
        EXPECT_TRUE(result.errors.isEmpty());
    }
}

TEST(AskRelay, GivesUpOnASilentServerAfterTenSeconds)
{
    const QString path = QStringLiteral("/tmp/drvk-askrelay-silent-%1").arg(::getpid());
    Listener silent(path, std::nullopt);
    QElapsedTimer timer;
    timer.start();
    const Result result = runAskRelay(path);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.output.isEmpty());
    EXPECT_GE(timer.elapsed(), 9'500);
    EXPECT_LE(timer.elapsed(), 15'000);
}
