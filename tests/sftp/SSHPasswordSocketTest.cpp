#include "SSHPasswordSocket.h"
#include "CliTestRun.h"
#include "TemporaryFolder.h"

#include <QFileInfo>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Connects as this user and reads to the end; nullopt when the connection cannot be made.
std::optional<QByteArray> fetch(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toUtf8();
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    std::optional<QByteArray> received;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        received.emplace();
        char buffer[1024];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            received->append(buffer, got);
    }
    ::close(fd);
    return received;
}

} // namespace

TEST(SSHPasswordSocket, ServesThePasswordToEveryClientOfThisUserUntilClosed)
{
    for (const QString& password :
         {QString(), QStringLiteral("line\nbreak"), QStringLiteral("pässwörd ✓"), QString(4096, QLatin1Char('x'))}) {
        SSHPasswordSocket socket(password);
        EXPECT_EQ(QFileInfo(socket.folder()).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                                QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        EXPECT_EQ(fetch(socket.path()), password.toUtf8());
        EXPECT_EQ(fetch(socket.path()), password.toUtf8());
        const QString path = socket.path();
        socket.close();
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_FALSE(QFileInfo::exists(socket.folder()));
        EXPECT_FALSE(fetch(path));
    }
}

TEST(SSHPasswordSocket, TellsAnotherUserNothing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "running a client as another user needs root";
    SSHPasswordSocket socket(QStringLiteral("secret"));
    // Open the way in, so that only the credential check stands between the other user and
    // the password.
    ::chmod(socket.folder().toUtf8().constData(), 0755);
    ::chmod(socket.path().toUtf8().constData(), 0777);
    TemporaryFolder programs;
    ::chmod(programs.path().toUtf8().constData(), 0755);
    const QString relay = programs.file(QStringLiteral("AskRelay"));
    QFile::copy(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"), relay);

    qputenv("DRAVIK_AUTH_SOCKET", socket.path().toUtf8());
    const CliTestRun run = CliTestRun::run({"--reuid=nobody", "--regid=nogroup", "--clear-groups", relay}, {},
                                           QStringLiteral("/usr/bin/setpriv"));
    qunsetenv("DRAVIK_AUTH_SOCKET");
    // The helper got through to the socket (it would exit 1 otherwise) and received no octet.
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, QByteArray("\n"));
    EXPECT_EQ(fetch(socket.path()), QByteArray("secret"));
}
