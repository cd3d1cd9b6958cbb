#include "ApplicationService.h"
#include "DravikApp.h"
#include "MainWindow.h"
#include "QueueStore.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The program as the session starts it, on the tests' session bus or, with `bus` false, on none.
void start(QProcess& program, bool bus, const QStringList& arguments = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!bus)
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(DRAVIK_BINARY_DIR "/bin/dravik", arguments);
}

} // namespace

TEST(SingleWindow, ASecondStartLeavesThePersonWithTheRunningWindow)
{
    for (const bool bus : {true, false}) {
        SCOPED_TRACE(bus ? "session bus" : "no session bus");
        QFile::remove(QueueStore::file());
        QProcess first;
        start(first, bus);
        // Written by the model at its start, which comes after the session was claimed.
        ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(QueueStore::file()); }, 30000));
        QProcess second;
        start(second, bus);
        ASSERT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_EQ(first.state(), QProcess::Running);
        first.terminate();
        ASSERT_TRUE(first.waitForFinished(30000));
        EXPECT_EQ(first.exitCode(), 0);
    }
}

// This process is the running copy here: a window closed while transfers went on comes back, and
// the second start's arguments arrive with the call.
TEST(SingleWindow, TheRunningCopyShowsItsWindowToASecondStart)
{
    ApplicationService service;
    ASSERT_EQ(service.claim({}), ApplicationService::Claim::first);
    DravikApp program;
    QStringList received;
    QObject::connect(&service, &ApplicationService::activated, [&](const QStringList& arguments) {
        received = arguments;
        program.activate();
    });
    program.window().show();
    program.window().hide();

    QProcess second;
    start(second, true, {"ftp://example.org/"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(received, QStringList{"ftp://example.org/"});
    EXPECT_TRUE(program.window().isVisible());
}
