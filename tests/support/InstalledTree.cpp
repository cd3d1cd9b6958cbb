#include "InstalledTree.h"
#include "CliTestRun.h"

#include <gtest/gtest.h>

InstalledTree::InstalledTree()
{
    const CliTestRun install = CliTestRun::run({"--install", DRAVIK_BINARY_DIR, "--prefix", m_prefix.path()}, {},
                                               QStringLiteral(DRAVIK_CMAKE));
    EXPECT_EQ(install.exitStatus, 0) << install.error.toStdString();
}
