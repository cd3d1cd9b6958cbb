#include "ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray readAll(int fd)
{
    QByteArray bytes;
    char buffer[8192];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    return bytes;
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

TEST(AskRelay, PrintsOnlyWhatItIsServedInTime)
{
    const QString folder = QStringLiteral("/tmp/drvk-askrelay-%1").arg(::getpid());
    QDir().mkpath(folder);
    const auto pathOf = [&](int length) { return folder + '/' + QString(length - folder.size() - 1, 'p'); };
    const QByteArray longest(4096, 's');
    struct Case {
        const char* what;
        std::optional<QString> socket;
        bool listening;
        std::optional<QByteArray> served; // nothing: the server holds the client without a word
        int status;
        QByteArray output;
    };
    const Case cases[] = {
        {"longest secret", pathOf(60), true, longest, 0, longest + "\n"},
        {"one octet too many", pathOf(60), true, longest + "s", 1, ""},
        {"newline inside", pathOf(60), true, "first\nsecond", 0, "first\nsecond\n"},
        {"non-ASCII", pathOf(60), true, "p\xc3\xa4ss", 0, "p\xc3\xa4ss\n"},
        {"empty secret", pathOf(60), true, "", 0, "\n"},
        {"longest path", pathOf(103), true, "ok", 0, "ok\n"},
        {"path beyond the address limit", pathOf(104), true, "ok", 1, ""},
        {"no socket variable", std::nullopt, false, {}, 1, ""},
        {"nothing at the path", pathOf(60), false, {}, 1, ""},
        {"silent server", pathOf(60), true, std::nullopt, 1, ""},
    };
    for (const Case& c : cases) {
        std::optional<Listener> listener;
        if (c.listening)
            listener.emplace(*c.socket, c.served);
        QStringList environment{QStringLiteral("PATH=/usr/bin:/bin")};
        if (c.socket)
            environment << "DRAVIK_AUTH_SOCKET=" + *c.socket;
        QElapsedTimer timer;
        timer.start();
        ChildProcess child({QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"), {"Password for someone:"}, environment});
        child.closeStandardInput();
        EXPECT_EQ(readAll(child.standardOutput()), c.output) << c.what;
        EXPECT_TRUE(readAll(child.standardError()).isEmpty()) << c.what;
        EXPECT_EQ(child.waitForExit(), c.status) << c.what;
        if (c.listening && !c.served) {
            EXPECT_GE(timer.elapsed(), 9'500) << c.what;
            EXPECT_LE(timer.elapsed(), 15'000) << c.what;
        }
    }
    QDir(folder).removeRecursively();
}
