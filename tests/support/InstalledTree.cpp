#include "InstalledTree.h"

#include <QProcess>
#include <gtest/gtest.h>

InstalledTree::InstalledTree()
{
    QProcess install;
    install.start(QStringLiteral(DRAVIK_CMAKE), {"--install", DRAVIK_BINARY_DIR, "--prefix", m_prefix.path()});
    EXPECT_TRUE(install.waitForFinished(60'000) && install.exitCode() == 0)
        << install.readAllStandardError().toStdString();
}
