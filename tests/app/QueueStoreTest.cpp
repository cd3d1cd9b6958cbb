#include "QueueStore.h"
#include "ProfileStore.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ftptest;

namespace {

// Not a global: building a profile reads the translations, which are not there before main().
ServerProfile profile(const char* id = "11111111-2222-3333-4444-555555555555", const char* name = "First")
{
    ServerProfile profile;
    profile.id = QUuid::fromString(QLatin1String(id));
    profile.name = QString::fromLatin1(name);
    profile.host = "example.org";
    return profile;
}

// Item ids differ in their last digit only.
TransferItem item(const ServerProfile& profile, char id, TransferItem::State state, bool upload = true)
{
    TransferItem item(FTPClient(profile, "secret"));
    item.id = QUuid::fromString("AAAAAAAA-0000-0000-0000-00000000000" + QString(QLatin1Char(id)));
    item.upload = upload;
    item.localURL = "/tmp/a b#1.txt";
    item.remotePath = "/up/a b#1.txt";
    item.state = state;
    return item;
}

} // namespace

TEST(QueueStoreTest, PendingAndFailedEntriesAreSavedOwnerOnlyAndComeBackFailedInOrder)
{
    const ServerProfile second = profile("66666666-7777-8888-9999-000000000000", "Second");
    TransferItem folder = item(second, '2', TransferItem::State::failed, false);
    folder.directory = true;
    const QList<TransferItem> queue{item(profile(), '0', TransferItem::State::completed),
                                    item(profile(), '1', TransferItem::State::running),
                                    item(profile(), '3', TransferItem::State::cancelled), folder};
    const QByteArray bytes = QueueStore::data(queue);
    EXPECT_FALSE(bytes.contains("secret") || bytes.contains("state")) << bytes.data();

    QueueStore::save(bytes);
    EXPECT_EQ(permissionsOf(QueueStore::file()), 0600u);
    EXPECT_EQ(permissionsOf(ProfileStore::folder()), 0700u);

    // The profile as it is now is used, and a record whose profile is gone is dropped.
    ServerProfile renamed = second;
    renamed.name = "Renamed";
    const QList<TransferItem> restored = QueueStore::load({renamed, profile()});
    ASSERT_EQ(restored.size(), 2);
    for (const TransferItem& one : restored) {
        EXPECT_EQ(one.state, TransferItem::State::failed);
        EXPECT_TRUE(one.error.has_value());
        EXPECT_EQ(one.localURL, "/tmp/a b#1.txt");
    }
    EXPECT_EQ(restored[0].id, queue[1].id);
    EXPECT_EQ(restored[1].client.profile().name, "Renamed");
    EXPECT_TRUE(restored[1].directory);
    EXPECT_FALSE(restored[1].upload);
    EXPECT_EQ(QueueStore::load({second}).size(), 1);
}

TEST(QueueStoreTest, AFileThatIsNotAListOfCompleteRecordsFailsAsAWhole)
{
    const QByteArray good = QueueStore::data({item(profile(), '1', TransferItem::State::waiting)});
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray(good).replace(R"("directory":false,)", ""), "directory"},
        {QByteArray(good).replace("file:///tmp", "http://host/tmp"), "localURL"},
        {QByteArray(good).replace(R"("port":21)", R"("port":"21")"), "profile"},
        {QByteArray(good).replace(R"("upload":true)", R"("upload":1)"), "upload"},
        {"{}", "transfer-queue.json"},
        {good + good, "garbage at the end of the document"},
    };
    for (const auto& [document, reason] : cases)
        EXPECT_EQ(failureText([&] { QueueStore::decode(document, {profile()}); }),
                  QStringLiteral("The transfer queue could not be read: ") + QLatin1String(reason));
}

// A writer killed at any moment of a save leaves the previous content or the new one.
TEST(QueueStoreTest, AKilledWriterLeavesTheOldOrTheNewFileNeverABrokenOne)
{
    const QByteArray older(3 << 20, 'o');
    const QByteArray newer(5 << 20, 'n');
    QueueStore::save(older);
    for (int round = 0; round < 12; ++round) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int n = 0;; ++n)
                QueueStore::save(n % 2 ? older : newer);
        }
        ::usleep(useconds_t(3000 + round * 4000));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const QByteArray now = contentOf(QueueStore::file());
        EXPECT_TRUE(now == older || now == newer) << now.size() << " bytes";
    }
}
