#include "CliTestRun.h"
#include "FileFilterModel.h"
#include "FileListModel.h"
#include "KeychainStore.h"
#include "L10n.h"
#include "ModelTest.h"
#include "PrivateKeyring.h"
#include "ProfileStore.h"
#include "QueueStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <unistd.h>

namespace {

ServerProfile named(const QString& name)
{
    ServerProfile profile;
    profile.name = name;
    profile.host = "example.org";
    profile.username = "someone";
    return profile;
}

TransferItem waiting(const ServerProfile& profile, const QString& local)
{
    TransferItem item{FTPClient(profile, "secret")};
    item.localURL = local;
    item.remotePath = "/remote";
    return item;
}

void write(const QString& path, const std::optional<QByteArray>& bytes)
{
    QFile::remove(path);
    if (bytes)
        ftptest::writeFile(path, *bytes);
}

// The model's save, once it has ended: nothing, or what refused it.
std::optional<QString> save(AppModel& model, const ServerProfile& profile, const QString& password)
{
    QFuture<std::optional<QString>> saved = model.save(profile, password);
    EXPECT_TRUE(eventually([&] { return saved.isFinished(); }));
    return saved.result();
}

} // namespace

TEST(StartUpTest, TheQueueComesBackFailedAndAFileThatCannotBeReadIsLeftAsItIs)
{
    const ServerProfile kept = named("Kept");
    const ServerProfile gone = named("Gone");
    const QByteArray profiles = ProfileStore::encode({kept, named("Other")});
    const TransferItem restorable = waiting(kept, "/tmp/one");
    const QByteArray queue = QueueStore::data({restorable, waiting(gone, "/tmp/two")});
    const QByteArray keptOnly = QueueStore::data({restorable});
    const struct {
        const char* name;
        std::optional<QByteArray> profiles;
        std::optional<QByteArray> queue;
        QString error;
        int restored;
        QByteArray queueAfterQuit;
    } cases[] = {
        {"nothing saved yet", std::nullopt, std::nullopt, "", 0, "[]"},
        {"profiles unreadable", "[{", queue, "The connection details could not be read: unterminated object", 0, queue},
        {"queue unreadable", profiles, "[{}]", "The transfer queue could not be read: id", 0, "[{}]"},
        {"a profile deleted", profiles, queue, "", 1, keptOnly},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.name);
        write(ProfileStore::file(), one.profiles);
        write(QueueStore::file(), one.queue);
        ScriptedPrompter prompter;
        AppModel model(prompter);
        EXPECT_EQ(model.errorMessage(), one.error);
        EXPECT_EQ(model.profiles().size(), one.profiles == profiles ? 2 : 0);
        EXPECT_EQ(model.selectedProfileID(), one.profiles == profiles ? kept.id : QUuid());
        EXPECT_EQ(model.transfers().size(), one.restored);
        EXPECT_FALSE(model.isConnected());
        model.shutDown();
        EXPECT_EQ(contentOf(QueueStore::file()), one.queueAfterQuit);
        EXPECT_EQ(contentOf(ProfileStore::file()), one.profiles.value_or("(missing)"));
    }
}

TEST(StartUpTest, TheLocalPaneStartsInTheDownloadsFolderOrElseTheHomeFolder)
{
    const QString downloads = qEnvironmentVariable("XDG_DATA_HOME") + "/My Downloads";
    ftptest::useDownloadsFolder(downloads);
    for (const bool exists : {true, false}) {
        if (exists)
            QDir().mkpath(downloads);
        else
            QDir(downloads).removeRecursively();
        ScriptedPrompter prompter;
        const AppModel model(prompter);
        EXPECT_EQ(model.localURL(), exists ? downloads : QDir::homePath());
    }
}

TEST(StartUpTest, SavedProfilesKeepTheirPlaceAndTheirPasswordsLiveInTheKeyring)
{
    REQUIRE_PRIVATE_KEYRING();
    PrivateKeyring keyring;
    ProFTPDServer server;
    ScriptedPrompter prompter;
    AppModel model(prompter);
    ServerProfile remembered = server.profile(FTPProtocol::ftp);
    remembered.rememberPassword = true;
    const ServerProfile asking = named("Asking");
    EXPECT_EQ(save(model, remembered, ProFTPDServer::password()), std::nullopt);
    EXPECT_EQ(save(model, asking, "never stored"), std::nullopt);
    EXPECT_EQ(model.selectedProfileID(), asking.id);
    remembered.name = "Renamed";
    EXPECT_EQ(save(model, remembered, ProFTPDServer::password()), std::nullopt);
    ServerProfile invalid = asking;
    invalid.host.clear();
    EXPECT_EQ(save(model, invalid, {}), L("invalid_host"));
    EXPECT_EQ(model.profiles(), (QList<ServerProfile>{remembered, asking}));
    EXPECT_EQ(ProfileStore::load(), model.profiles());
    EXPECT_FALSE(contentOf(ProfileStore::file()).contains("never stored"));
    EXPECT_EQ(keyring.itemCount(QString::fromLatin1(KeychainStore::service), asking.idText()), 0);

    for (const std::optional<ServerProfile>& selected :
         {std::optional<ServerProfile>(asking), std::optional<ServerProfile>()}) {
        model.setSelectedProfileID(selected ? selected->id : QUuid());
        model.connectSaved();
        EXPECT_TRUE(model.showConnectionEditor());
        EXPECT_EQ(model.editingProfile(), selected);
        model.setShowConnectionEditor(false);
    }
    model.setSelectedProfileID(remembered.id);
    model.connectSaved();
    ASSERT_TRUE(eventually([&] { return model.isConnected(); })) << model.errorMessage().toStdString();

    model.removeProfile(remembered);
    ASSERT_TRUE(eventually([&] { return model.profiles().size() == 1; }));
    EXPECT_EQ(model.selectedProfileID(), asking.id);
    EXPECT_TRUE(model.isConnected());
    EXPECT_EQ(keyring.itemCount(QString::fromLatin1(KeychainStore::service), remembered.idText()), 0);
    EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{asking});

    // Of two quick connects the later wins, though the keyring hands over the earlier password first.
    ServerProfile first = remembered;
    first.id = QUuid::createUuid();
    first.name = "First";
    ServerProfile second = first;
    second.id = QUuid::createUuid();
    second.name = "Second";
    for (const ServerProfile& profile : {first, second})
        EXPECT_EQ(save(model, profile, ProFTPDServer::password()), std::nullopt);
    for (const ServerProfile& profile : {first, second}) {
        model.setSelectedProfileID(profile.id);
        model.connectSaved();
    }
    ASSERT_TRUE(eventually([&] { return model.isConnected() && model.connectedProfile() != remembered; }));
    EXPECT_EQ(model.connectedProfile()->name, "Second");
}

// The command line, and a second copy of the program started in another session, change the
// profiles file while the window runs; on a desktop without a secret store all of them still
// keep profiles.
TEST(StartUpTest, ProfilesStayInStepWithOtherProgramsAndNeedNoSecretStore)
{
    REQUIRE_PRIVATE_KEYRING();
    const PrivateKeyring noStore(PrivateKeyring::Secrets::none);
    const TemporaryFolder folder;
    write(ProfileStore::file(), "[{");
    ScriptedPrompter prompter;
    AppModel model(prompter);
    EXPECT_EQ(model.errorMessage(), "The connection details could not be read: unterminated object");

    ServerProfile remembering = named("Remembering");
    remembering.rememberPassword = true;
    EXPECT_EQ(save(model, remembering, "secret"), L("secret_store_missing"));
    ServerProfile stored = remembering;
    stored.rememberPassword = false;
    EXPECT_EQ(model.profiles(), QList<ServerProfile>{stored});
    const QStringList kept = QDir(ProfileStore::folder()).entryList({"servers.json.unreadable-*"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(model.errorMessage(), L("unreadable_kept", "servers.json", ProfileStore::folder() + '/' + kept.first()));

    const ServerProfile other = named("From the command line");
    ASSERT_EQ(CliTestRun::run({"save-profile", folder.write("other.json", QJsonDocument(other.toJson()).toJson())})
                  .exitStatus,
              0);
    ASSERT_TRUE(eventually([&] { return model.profiles().size() == 2; }));
    EXPECT_EQ(model.profiles(), (QList<ServerProfile>{stored, other}));
    EXPECT_EQ(model.selectedProfileID(), stored.id);
    const ServerProfile asking = named("Asking");
    EXPECT_EQ(save(model, asking, "never stored"), std::nullopt);
    EXPECT_EQ(ProfileStore::load(), (QList<ServerProfile>{stored, other, asking}));

    // The selected profile removed elsewhere: the selection moves to the first.
    ASSERT_EQ(CliTestRun::run({"remove-profile", asking.idText()}).exitStatus, 0);
    ASSERT_TRUE(eventually([&] { return model.profiles().size() == 2; }));
    EXPECT_EQ(model.selectedProfileID(), stored.id);
    model.removeProfile(other);
    ASSERT_TRUE(eventually([&] { return model.profiles().size() == 1; })) << model.errorMessage().toStdString();
    EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{stored});
}

// How the window showed things comes back at the next start; what no longer applies, or cannot be
// read, is the default.
TEST(StartUpTest, ViewChoicesComeBackAndUnreadableOnesAreTheDefaults)
{
    const ServerProfile first = named("First");
    const ServerProfile second = named("Second");
    write(ProfileStore::file(), QJsonDocument(QJsonArray{first.toJson(), second.toJson()}).toJson());
    ScriptedPrompter prompter;
    const FileSortComparator bySize{FileSortComparator::Field::size, Qt::DescendingOrder};
    const FileSortComparator byDate{FileSortComparator::Field::modified, Qt::AscendingOrder};
    {
        AppModel model(prompter);
        model.setSelectedProfileID(second.id);
        model.setShowHidden(true);
        // As the tables' headings sort.
        model.visibleLocalFiles()->sort(FileListModel::sizeColumn, Qt::DescendingOrder);
        model.visibleRemoteFiles()->sort(FileListModel::modifiedColumn, Qt::AscendingOrder);
    }
    struct Case {
        const char* what;
        QList<std::pair<QString, QVariant>> stored;
        QUuid profile;
        bool hidden;
        FileSortComparator local, remote;
    };
    const Case cases[] = {
        {"as left", {}, second.id, true, bySize, byDate},
        {"unreadable",
         {{"selectedProfileID", "second"},
          {"showHidden", "yes"},
          {"localSortOrder", "colour descending"},
          {"remoteSortOrder", "size"}},
         first.id,
         false,
         {},
         {}},
        {"a removed profile", {{"selectedProfileID", QUuid::createUuid().toString()}}, first.id, false, {}, {}},
    };
    for (const Case& c : cases) {
        QSettings preferences = L10n::preferences();
        for (const auto& [key, value] : c.stored)
            preferences.setValue(key, value);
        preferences.sync();
        const AppModel model(prompter);
        EXPECT_EQ(model.selectedProfileID(), c.profile) << c.what;
        EXPECT_EQ(model.showHidden(), c.hidden) << c.what;
        EXPECT_EQ(model.localFileList()->sortOrder(), c.local) << c.what;
        EXPECT_EQ(model.remoteFileList()->sortOrder(), c.remote) << c.what;
    }
}

// What a save killed between writing and renaming leaves behind goes at the next start; nothing
// else in the data folder does.
TEST(StartUpTest, TemporariesOfKilledSavesAreRemovedAtStart)
{
    const QString folder = ProfileStore::folder();
    const TemporaryFolder elsewhere;
    const QString target = elsewhere.write("target", "not ours to remove");
    QDir().mkpath(folder);
    const struct {
        const char* name;
        bool removed;
        std::function<void(const QString&)> make;
    } cases[] = {
        {"servers.json.k3j2h1", true, {}},
        {"transfer-queue.json.0", true, {}},
        {"remote-edits.json.zzzzzzzzzzzzz", true, {}},
        {"servers.json.unreadable-20240101-120000", false, {}},
        {"servers.json.ABC", false, {}},
        {"servers.json.abcdefghijklmn", false, {}},
        {"servers.json", false, {}},
        {"notes.txt.abc", false, {}},
        {"servers.json.link", false, [&](const QString& path) { QFile::link(target, path); }},
        {"servers.json.dir", false, [](const QString& path) { QDir().mkpath(path); }},
        {"servers.json.other", false,
         [](const QString& path) {
             ftptest::writeFile(path, "someone else's");
             ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
         }},
    };
    for (const auto& one : cases)
        one.make ? one.make(folder + '/' + one.name) : (void)ftptest::writeFile(folder + '/' + one.name, "[]");
    ScriptedPrompter prompter;
    const AppModel model(prompter);
    for (const auto& one : cases)
        EXPECT_EQ(QFileInfo(folder + '/' + one.name).exists() || QFileInfo(folder + '/' + one.name).isSymLink(),
                  !one.removed)
            << one.name;
    EXPECT_EQ(contentOf(target), "not ours to remove");
}

TEST(StartUpTest, TheActivityLogKeepsTheNewest200Lines)
{
    ScriptedPrompter prompter;
    AppModel model(prompter);
    for (int line = 1; line <= 201; ++line)
        model.record(QString::number(line));
    ASSERT_EQ(model.activity().size(), 200);
    EXPECT_EQ(model.activity().first().text, "201");
    EXPECT_EQ(model.activity().last().text, "2");
    EXPECT_EQ(model.activityLog()->rowCount(), 200);
}
