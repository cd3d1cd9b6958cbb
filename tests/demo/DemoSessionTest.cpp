#include "Loopback.h"
#include "ProfileStore.h"
#include "TemporaryFolder.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

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
    EXPECT_FALSE(Loopback::answers(port.captured(1).toInt()));
}
