#include "AskRelayLocation.h"
#include "FTPClient.h"
#include "FTPError.h"
#include "L10n.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString failureOf(const std::function<void()>& action)
{
    try {
        action();
        return QString();
    } catch (const UserFacingError& e) {
        return e.errorDescription();
    }
}

} // namespace

// FTPClient's transfers over SFTP against a real sshd. Key login, the other operations and a
// checkpointed download interrupted and resumed run through dravik-cli.
TEST(FTPClientOverSFTP, TransfersResumeAndCheckTheirDestination)
{
    AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
    if (!SSHServer::canCreateAccounts())
        GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
    const SSHServer server;
    const FTPClient ftp(server.profile(), server.password());
    TemporaryFolder local;
    QByteArray bytes(6 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    const QString source = local.write(QStringLiteral("source"), bytes);

    EXPECT_EQ(failureOf([&] { ftp.upload(source, server.put("taken", "x"), false, std::nullopt, {}, {}); }),
              L("destination_changed"));
    EXPECT_EQ(contents(server.path("taken")), QByteArray("x"));
    const QString big = server.put("big", bytes.first(1000));
    ftp.upload(source, big, false, 1000, {}, {});
    EXPECT_EQ(contents(big), bytes);

    const QString shorter = local.write(QStringLiteral("shorter"), bytes.first(4096));
    ftp.download(big, shorter, true, 4096, std::nullopt, false, {}, {});
    EXPECT_EQ(contents(shorter), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"shorter", "source"}));
}
