#include "ChildProcess.h"
#include "SystemCall.h"

#include <csignal>
#include <gtest/gtest.h>

TEST(ChildProcess, RunsWithExplicitArgumentsAndEnvironmentOrTheInheritedOne)
{
    qputenv("DRAVIK_CHILD_TEST", "inherited");
    const QString script = "printf '%s|%s|%s' \"$1\" \"$GREETING\" \"$DRAVIK_CHILD_TEST\"; cat >&2; exit 3";
    ChildProcess given({"/bin/sh", {"-c", script, "sh", "a b"}, QStringList{"GREETING=hello"}});
    given.write("from stdin");
    given.closeStandardInput();
    EXPECT_EQ(SystemCall::readToEnd(given.standardOutput()), QByteArray("a b|hello|"));
    EXPECT_EQ(SystemCall::readToEnd(given.standardError()), QByteArray("from stdin"));
    EXPECT_EQ(given.waitForExit(), 3);
    EXPECT_FALSE(given.isRunning());

    ChildProcess inherited({"/bin/sh", {"-c", script, "sh", "x"}, std::nullopt});
    inherited.closeStandardInput();
    EXPECT_EQ(SystemCall::readToEnd(inherited.standardOutput()), QByteArray("x||inherited"));
    EXPECT_EQ(inherited.waitForExit(), 3);
}

TEST(ChildProcess, TerminateEndsARunningChildAndIsHarmlessAfterExit)
{
    ChildProcess child({"/bin/sleep", {"30"}, std::nullopt});
    EXPECT_TRUE(child.isRunning());
    child.terminate();
    EXPECT_EQ(child.waitForExit(), 128 + SIGTERM);
    child.terminate();
    EXPECT_EQ(child.waitForExit(), 128 + SIGTERM);
}

TEST(ChildProcess, WritingToAChildThatClosedItsInputIsAnErrorNotASignal)
{
    ChildProcess child({"/bin/true", {}, std::nullopt});
    child.waitForExit();
    EXPECT_FALSE(child.writeSome("x", 1));
}

// Here the system reaps the child itself, so its status is lost: that is no success.
TEST(ChildProcess, AnExitStatusThatCannotBeCollectedIsAFailure)
{
    std::signal(SIGCHLD, SIG_IGN);
    ChildProcess child({"/bin/false", {}, std::nullopt});
    EXPECT_THROW(child.waitForExit(), std::system_error);
    std::signal(SIGCHLD, SIG_DFL);
}

// Standard output into a file is proven by the FTP downloads, which resume by appending to one.
TEST(ChildProcess, StandardErrorCanGoToTheNullDevice)
{
    // More than a pipe holds, so that a child writing to a pipe nobody reads would block.
    ChildProcess quiet({.program = "/bin/sh",
                        .arguments = {"-c", "head -c 200000 /dev/zero >&2; printf done"},
                        .environment = std::nullopt,
                        .discardStandardError = true});
    quiet.closeStandardInput();
    EXPECT_EQ(quiet.standardError(), -1);
    EXPECT_EQ(SystemCall::readToEnd(quiet.standardOutput()), QByteArray("done"));
    EXPECT_EQ(quiet.waitForExit(), 0);
}
