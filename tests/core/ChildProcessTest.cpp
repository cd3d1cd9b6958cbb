#include "ChildProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <system_error>
#include <unistd.h>

namespace {
QByteArray readAll(int fd)
{
    QByteArray result;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        result.append(buffer, got);
    return result;
}
}

TEST(ChildProcess, RunsWithExplicitArgumentsAndEnvironment)
{
    ChildProcess child({"/bin/sh", {"-c", "printf '%s|%s' \"$1\" \"$GREETING\"; cat >&2; exit 3", "sh", "a b"},
                        QStringList{"GREETING=hello"}});
    child.write("from stdin");
    child.closeStandardInput();
    EXPECT_EQ(readAll(child.standardOutput()), QByteArray("a b|hello"));
    EXPECT_EQ(readAll(child.standardError()), QByteArray("from stdin"));
    EXPECT_EQ(child.waitForExit(), 3);
    EXPECT_FALSE(child.isRunning());
}

TEST(ChildProcess, InheritsTheEnvironmentWhenNoneIsGiven)
{
    qputenv("DRAVIK_CHILD_TEST", "inherited");
    ChildProcess child({"/bin/sh", {"-c", "printf %s \"$DRAVIK_CHILD_TEST\""}, std::nullopt});
    child.closeStandardInput();
    EXPECT_EQ(readAll(child.standardOutput()), QByteArray("inherited"));
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(ChildProcess, TerminateEndsARunningChildAndIsHarmlessAfterExit)
{
    ChildProcess child({"/bin/sleep", {"30"}, std::nullopt});
    EXPECT_TRUE(child.isRunning());
    QElapsedTimer timer;
    timer.start();
    child.terminate();
    EXPECT_EQ(child.waitForExit(), 128 + SIGTERM);
    EXPECT_LT(timer.elapsed(), 5000);
    child.terminate();
    EXPECT_EQ(child.waitForExit(), 128 + SIGTERM);
}

TEST(ChildProcess, MissingProgramFailsToStart)
{
    EXPECT_THROW(ChildProcess({"/nonexistent/program", {}, std::nullopt}), std::system_error);
}

TEST(ChildProcess, WritingToAChildThatClosedItsInputIsAnErrorNotASignal)
{
    ChildProcess child({"/bin/true", {}, std::nullopt});
    child.waitForExit();
    EXPECT_FALSE(child.writeSome("x", 1));
}

TEST(ChildProcess, StandardOutputCanGoToAFileOpenedByTheParent)
{
    char path[] = "/tmp/dravik-child-output-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "kept ", 5), 5);
    ChildProcess child({"/bin/sh", {"-c", "printf appended; printf errors >&2"}, std::nullopt, file});
    child.closeStandardInput();
    EXPECT_EQ(child.standardOutput(), -1);
    EXPECT_EQ(readAll(child.standardError()), QByteArray("errors"));
    EXPECT_EQ(child.waitForExit(), 0);
    ::close(file);
    QFile written(QString::fromLatin1(path));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("kept appended"));
    ::unlink(path);
}

TEST(ChildProcess, CanSendStandardErrorToTheNullDevice)
{
    ChildProcess child({.program = "/bin/sh",
                        .arguments = {"-c", "head -c 200000 /dev/zero >&2; printf done"},
                        .environment = std::nullopt,
                        .discardStandardError = true});
    child.closeStandardInput();
    EXPECT_EQ(child.standardError(), -1);
    EXPECT_EQ(readAll(child.standardOutput()), QByteArray("done"));
    EXPECT_EQ(child.waitForExit(), 0);
}
