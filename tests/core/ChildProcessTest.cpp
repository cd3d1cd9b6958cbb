#include "ChildProcess.h"
#include "SystemCall.h"

#include <csignal>
#include <gtest/gtest.h>

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
