#include "ProfileStore.h"
#include "TemporaryFolder.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool listening(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

// dravik-cli stands in for the desktop program: it reads the same saved profile and keyring.
TEST(DemoSession, TheProgramFindsTheDemoServerSavedAndTheServerStopsWithIt)
{
    TemporaryFolder session;
    QProcess demo;
    demo.start(DRAVIK_BINARY_DIR "/bin/dravik-demo",
               {"--data", session.path(), DRAVIK_BINARY_DIR "/bin/dravik-cli", "--saved", "Demo server", "list", "/"});
    ASSERT_TRUE(demo.waitForFinished(120000));
    const QString listing = QString::fromUtf8(demo.readAllStandardOutput());
    const QString messages = QString::fromUtf8(demo.readAllStandardError());
    EXPECT_EQ(demo.exitCode(), 0) << messages.toStdString();
    EXPECT_TRUE(listing.contains("Welcome.txt") && listing.contains("Documents")) << listing.toStdString();

    EXPECT_TRUE(QFile::exists(session.file("data/Dravik FTP/servers.json")));
    EXPECT_FALSE(QFile::exists(ProfileStore::file()));
    const QRegularExpressionMatch port = QRegularExpression(":(\\d+);").match(messages);
    ASSERT_TRUE(port.hasMatch()) << messages.toStdString();
    EXPECT_FALSE(listening(port.captured(1).toInt()));
}
