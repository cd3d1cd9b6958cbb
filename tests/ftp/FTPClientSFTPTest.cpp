#include "AskRelayLocation.h"
#include "CancellationError.h"
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

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype index = 0; index < size; ++index)
        bytes[index] = char(QRandomGenerator::global()->generate());
    return bytes;
}

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
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    } catch (const UserFacingError& e) {
        return e.errorDescription();
    }
}

// Every FTPClient operation over SFTP against a real sshd, logging in with the password or
// with the passphrase-protected key.
class FTPClientOverSFTP : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
        server = std::make_unique<SSHServer>();
        QDir(server->home()).mkpath(QStringLiteral("work"));
        server->giveToAccount(work());
    }

    FTPClient client() const
    {
        const bool withKey = GetParam();
        return FTPClient(server->profile(withKey), withKey ? server->keyPassphrase() : server->password());
    }
    QString work() const { return server->home() + QStringLiteral("/work"); }
    QString remote(const QString& name) const { return work() + QLatin1Char('/') + name; }
    void serverFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(remote(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        server->giveToAccount(remote(name));
    }

    TemporaryFolder local;
    std::unique_ptr<SSHServer> server;
};

} // namespace

TEST_P(FTPClientOverSFTP, UploadsCheckTheirDestination)
{
    const QByteArray bytes = randomBytes(200'000);
    const QString source = local.write(QStringLiteral("source"), bytes);
    const FTPClient ftp = client();

    ftp.upload(source, remote(QStringLiteral("new")), false, std::nullopt, {}, {});
    EXPECT_EQ(contents(remote(QStringLiteral("new"))), bytes);
    EXPECT_EQ(failureOf([&] { ftp.upload(source, remote(QStringLiteral("new")), false, std::nullopt, {}, {}); }),
              L("destination_changed"));
    serverFile(QStringLiteral("partial"), bytes.first(1000));
    ftp.upload(source, remote(QStringLiteral("partial")), false, 1000, {}, {});
    EXPECT_EQ(contents(remote(QStringLiteral("partial"))), bytes);
    ftp.upload(local.write(QStringLiteral("small"), "small"), remote(QStringLiteral("new")), true, std::nullopt, {},
               {});
    EXPECT_EQ(contents(remote(QStringLiteral("new"))), QByteArray("small"));
}

TEST_P(FTPClientOverSFTP, DownloadsResumeFromCheckpointsAndDestinations)
{
    const QByteArray bytes = randomBytes(6 * 1024 * 1024);
    serverFile(QStringLiteral("big"), bytes);
    const FTPClient ftp = client();
    const QString target = local.file(QStringLiteral("big"));
    const QUuid checkpoint = QUuid::createUuid();

    std::stop_source stop;
    EXPECT_EQ(failureOf([&] {
                  ftp.download(
                      remote(QStringLiteral("big")), target, false, std::nullopt, checkpoint, false,
                      [&](double fraction) {
                          if (fraction > 0.3)
                              stop.request_stop();
                      },
                      stop.get_token());
              }),
              QStringLiteral("cancelled"));
    EXPECT_FALSE(QFileInfo::exists(target));
    ftp.download(remote(QStringLiteral("big")), target, false, std::nullopt, checkpoint, true, {}, {});
    EXPECT_EQ(contents(target), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"big"}));

    const QString shorter = local.write(QStringLiteral("shorter"), bytes.first(4096));
    ftp.download(remote(QStringLiteral("big")), shorter, true, 4096, std::nullopt, false, {}, {});
    EXPECT_EQ(contents(shorter), bytes);
}

INSTANTIATE_TEST_SUITE_P(Logins, FTPClientOverSFTP, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& login) {
                             return login.param ? std::string("key") : std::string("password");
                         });
