#include "ChildProcess.h"
#include "SSHPasswordSocket.h"
#include "SystemCall.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TEST(AskRelay, PrintsOnlyWhatItIsServedInTime)
{
    const QString folder = QStringLiteral("/tmp/drvk-askrelay-%1").arg(::getpid());
    QDir().mkpath(folder);
    const auto pathOf = [&](int length) -> QString { return folder + '/' + QString(length - folder.size() - 1, 'p'); };
    // A listener that never accepts: the connection waits in its backlog for a word that never comes.
    const QString silent = pathOf(60);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, silent.toUtf8().constData(), size_t(silent.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    const QByteArray longest(4096, 's');
    struct Case {
        const char* what;
        std::optional<QByteArray> served; // through a password socket, reached by `pathLength` octets
        int pathLength;
        int status;
        QByteArray output;
    };
    const Case cases[] = {
        {"longest secret", longest, 0, 0, longest + "\n"},
        {"one octet too many", longest + "s", 0, 1, ""},
        {"newline inside", "first\nsecond", 0, 0, "first\nsecond\n"},
        {"non-ASCII", "p\xc3\xa4ss", 0, 0, "p\xc3\xa4ss\n"},
        {"empty secret", "", 0, 0, "\n"},
        {"longest path", "ok", 103, 0, "ok\n"},
        {"path beyond the address limit", "ok", 104, 1, ""},
        {"no socket variable", std::nullopt, -1, 1, ""},
        {"nothing at the path", std::nullopt, 70, 1, ""},
        {"silent server", std::nullopt, 60, 1, ""},
    };
    for (const Case& c : cases) {
        std::optional<SSHPasswordSocket> socket;
        QStringList environment{QStringLiteral("PATH=/usr/bin:/bin")};
        if (c.served) {
            socket.emplace(QString::fromUtf8(*c.served));
            // The relay connects through a link of the length under test.
            if (c.pathLength > 0)
                QFile::link(socket->path(), pathOf(c.pathLength));
            environment << "DRAVIK_AUTH_SOCKET=" + (c.pathLength > 0 ? pathOf(c.pathLength) : socket->path());
        } else if (c.pathLength > 0) {
            environment << "DRAVIK_AUTH_SOCKET=" + pathOf(c.pathLength);
        }
        QElapsedTimer timer;
        timer.start();
        ChildProcess child({QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"), {"Password for someone:"}, environment});
        child.closeStandardInput();
        EXPECT_EQ(SystemCall::readToEnd(child.standardOutput()), c.output) << c.what;
        EXPECT_TRUE(SystemCall::readToEnd(child.standardError()).isEmpty()) << c.what;
        EXPECT_EQ(child.waitForExit(), c.status) << c.what;
        if (c.pathLength == 60) {
            EXPECT_GE(timer.elapsed(), 9'500) << c.what;
            EXPECT_LE(timer.elapsed(), 15'000) << c.what;
        }
        if (c.served && c.pathLength > 0)
            QFile::remove(pathOf(c.pathLength));
    }
    ::close(listener);
    QDir(folder).removeRecursively();
}
