#include "ComparisonListModel.h"
#include "L10n.h"
#include "ModelTest.h"
#include "ProfileStore.h"
#include "RemoteEditListModel.h"
#include "RemoteEditStore.h"
#include "SSHServer.h"
#include "StopQuestion.h"
#include "TestApplications.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

using namespace ftptest;

namespace {

// Remote editing and folder comparison through the model, over FTP against ProFTPD and over SFTP
// against sshd. Files live in "tree" on the server.
class RemoteFeaturesTest : public ModelTest, public testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        applications.install("recorder", "text/plain;");
        remote.initialPath = "/tree";
        if (!sftp())
            return;
        REQUIRE_ACCOUNTS();
        ssh = std::make_unique<SSHServer>();
        remote = ssh->profile();
        remote.initialPath = root();
    }
    bool sftp() const { return GetParam() == "SFTP"; }
    QString root() const { return sftp() ? QString(ssh->home() + "/tree") : QString("/tree"); }
    QString onDisk(const QString& name) const
    {
        return sftp() ? ssh->path("tree/" + name) : server.local(root() + "/" + name);
    }
    void put(const QString& name, const QByteArray& bytes) const
    {
        writeFile(onDisk(name), bytes);
        if (sftp())
            ssh->giveToAccount(ssh->path("tree"));
    }
    void connect() { connectToServer(remote, sftp() ? ssh->password() : ProFTPDServer::password()); }
    QString copy() const { return RemoteEditListModel::localPath(model->edits().first()); }
    const RemoteEdit& edit() const { return model->edits().first(); }
    // Uploads the edit, answering its question with `answer`.
    void upload(int answer)
    {
        prompter.alertAnswers = {answer};
        model->uploadEdit(edit().id);
        ASSERT_TRUE(eventually([&] { return !model->busy(); }));
    }

    TestApplications applications;
    std::unique_ptr<SSHServer> ssh;
    ServerProfile remote = profile;
};

} // namespace

TEST_P(RemoteFeaturesTest, AnEditGoesToAnApplicationAndBackToTheServerByteForByte)
{
    put("notes.txt", "first\n");
    QFile::setPermissions(onDisk("notes.txt"), QFile::ReadOwner | QFile::WriteOwner);
    writeFile(RemoteEditStore::file(), "[{");
    start();
    QAbstractItemModelTester tester(model->remoteEditList());
    connect();
    select(false, {"notes.txt"});
    prompter.applicationAnswers = {"dravik-recorder.desktop", std::nullopt};
    model->editRemoteFile();
    ASSERT_TRUE(eventually([&] { return model->edits().size() == 1 && !model->busy(); }))
        << model->errorMessage().toStdString();
    // A list that could not be read at the start is kept aside by the first change.
    const QStringList unreadable = QDir(ProfileStore::folder()).entryList({"remote-edits.json.unreadable-*"});
    ASSERT_EQ(unreadable.size(), 1);
    EXPECT_EQ(contentOf(ProfileStore::folder() + '/' + unreadable.first()), "[{");
    EXPECT_EQ(model->errorMessage(),
              L("unreadable_kept", "remote-edits.json", ProfileStore::folder() + '/' + unreadable.first()));
    EXPECT_EQ(applications.recorded("recorder"), copy());
    EXPECT_TRUE(model->showEdits());
    EXPECT_EQ(contentOf(copy()), "first\n");
    EXPECT_EQ(permissionsOf(copy()), 0600u);

    // The same file again is only opened again.
    model->editRemoteFile();
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(prompter.asked, QStringList(2, "application: " + copy()));

    writeFile(copy(), "second\n");
    model->scanEdits();
    ASSERT_TRUE(eventually([&] { return edit().changed; }));
    upload(1);
    EXPECT_EQ(contentOf(onDisk("notes.txt")), "second\n");
    EXPECT_EQ(permissionsOf(onDisk("notes.txt")), 0600u) << "the server's file keeps its mode";
    EXPECT_EQ(prompter.alerts.last().informativeText, "notes.txt\n" + L("upload_edit_confirm"));
    EXPECT_FALSE(edit().changed);
    EXPECT_EQ(activity().last(), L("file_done", "notes.txt"));
    EXPECT_EQ(model->remoteFiles().first().size, 7) << "the pane is listed again";

    // Someone else saved, before the question or while it was open: the question says so, again
    // after an answer if need be, and only "overwrite" uploads.
    const QString confirm = "notes.txt\n" + L("upload_edit_confirm");
    const QString conflict = "notes.txt\n" + L("remote_edit_conflict");
    writeFile(copy(), "third\n");
    struct Case {
        const char* what;
        QByteArray before;
        QByteArray whileAsked;
        QList<int> answers;
        QStringList asked;
        QByteArray expected;
    };
    const Case cases[] = {
        {"saved before, kept", "theirs\n", {}, {0}, {conflict}, "theirs\n"},
        {"saved before, overwritten", "theirs\n", {}, {1}, {conflict}, "third\n"},
        {"saved while asked, kept", {}, "late\n", {1, 0}, {confirm, conflict}, "late\n"},
        {"saved while asked, overwritten", {}, "later\n", {1, 1}, {conflict, conflict}, "third\n"},
    };
    for (const Case& c : cases) {
        if (!c.before.isEmpty())
            put("notes.txt", c.before);
        prompter.onAlert = [&, saved = c.whileAsked](const PromptAlert&) mutable {
            if (!saved.isEmpty())
                put("notes.txt", std::exchange(saved, {}));
        };
        const qsizetype before = prompter.alerts.size();
        prompter.alertAnswers = c.answers;
        model->uploadEdit(edit().id);
        ASSERT_TRUE(eventually([&] { return !model->busy(); }));
        QStringList asked;
        for (const PromptAlert& alert : prompter.alerts.mid(before))
            asked << alert.informativeText;
        EXPECT_EQ(asked, c.asked) << c.what;
        EXPECT_EQ(contentOf(onDisk("notes.txt")), c.expected) << c.what;
    }
    prompter.onAlert = nullptr;

    // The list outlives the program; an upload needs the edit's own connection and its file.
    const QList<RemoteEdit> edits = model->edits();
    start();
    EXPECT_EQ(model->edits(), edits);
    model->uploadEdit(edit().id);
    EXPECT_EQ(model->errorMessage(), L("queue_reconnect"));
    model->setErrorMessage({});
    connect();
    QFile::remove(onDisk("notes.txt"));
    upload(1);
    EXPECT_EQ(model->errorMessage(), L("destination_changed"));
    EXPECT_EQ(contentOf(onDisk("notes.txt")), "(missing)");

    const QString kept = copy();
    model->forgetEdit(edit().id);
    EXPECT_TRUE(model->edits().isEmpty());
    EXPECT_EQ(contentOf(kept), "third\n");
    EXPECT_EQ(contentOf(RemoteEditStore::file()), "[]");
}

TEST_P(RemoteFeaturesTest, FilesGoBothWaysThroughTheQueueAndBothPanesCompareUntilADisconnect)
{
    local.write("tree/both.txt", "same");
    local.write("tree/docs/mine.txt", "mine");
    local.write("tree/up.bin", randomBytes(40000));
    put("both.txt", "same");
    put("docs/theirs.txt", "theirs");
    put("down.bin", randomBytes(50000));
    start();
    QAbstractItemModelTester tester(model->comparisonList());
    ASSERT_TRUE(listedLocally(*model, [&] { model->openLocal(local.file("tree")); }));
    connect();
    select(false, {"down.bin"});
    model->enqueue(false);
    ASSERT_TRUE(eventually([&] { return idle(); }));
    select(true, {"up.bin"});
    model->enqueue(true);
    ASSERT_TRUE(eventually([&] { return idle() && model->transfers().size() == 2; }));
    EXPECT_EQ(model->completedCount(), 2) << activity().join('\n').toStdString();
    EXPECT_EQ(contentOf(local.file("tree/down.bin")), randomBytes(50000));
    EXPECT_EQ(contentOf(onDisk("up.bin")), randomBytes(40000));

    model->compareFolders();
    EXPECT_TRUE(model->isWorking());
    ASSERT_TRUE(eventually([&] { return !model->comparing(); }));
    EXPECT_EQ(model->errorMessage(), "");
    QStringList rows;
    for (const ComparisonRow& row : model->comparison())
        rows << row.path + (row.local ? " here" : "") + (row.remote ? " there" : "");
    EXPECT_EQ(rows, (QStringList{"both.txt here there", "docs here there", "docs/mine.txt here",
                                 "docs/theirs.txt there", "down.bin here there", "up.bin here there"}));
    EXPECT_TRUE(model->showComparison());
    const QAbstractItemModel& table = *model->comparisonList();
    EXPECT_EQ(table.index(1, ComparisonListModel::localSizeColumn).data(), "—");
    EXPECT_EQ(table.index(1, ComparisonListModel::remoteSizeColumn).data(), "—");

    // A disconnect ends a comparison without a word and keeps the last result.
    model->setShowComparison(false);
    model->compareFolders();
    model->disconnect();
    EXPECT_FALSE(model->isWorking());
    settle();
    EXPECT_EQ(model->errorMessage(), "");
    EXPECT_EQ(model->comparison().size(), 6);
    EXPECT_FALSE(model->showComparison());
}

INSTANTIATE_TEST_SUITE_P(Protocols, RemoteFeaturesTest, testing::Values("FTP", "SFTP"),
                         [](const testing::TestParamInfo<std::string>& protocol) { return protocol.param; });

TEST_F(ModelTest, OnlyFilesOfUpToTwentyMebibytesAreEditedAndAFailedDownloadLeavesNoCopy)
{
    server.put("/exact.bin", QByteArray(20971520, 'x'));
    server.put("/over.bin", QByteArray(20971521, 'x'));
    server.put("/gone.txt", "gone");
    start();
    connectToServer();
    select(false, {"over.bin"});
    model->editRemoteFile();
    EXPECT_EQ(model->errorMessage(), L("edit_size_limit"));
    EXPECT_FALSE(model->busy());

    model->setErrorMessage({});
    QFile::remove(server.local("/gone.txt"));
    select(false, {"gone.txt"});
    model->editRemoteFile();
    ASSERT_TRUE(eventually([&] { return !model->busy(); }));
    EXPECT_NE(model->errorMessage(), "");
    EXPECT_EQ(activity().last(), model->errorMessage());
    EXPECT_EQ(QDir(RemoteEditStore::copiesFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    select(false, {"exact.bin"});
    prompter.applicationAnswers = {std::nullopt};
    model->editRemoteFile();
    ASSERT_TRUE(eventually([&] { return !model->busy() && model->edits().size() == 1; }));
    EXPECT_EQ(QFileInfo(RemoteEditListModel::localPath(model->edits().first())).size(), 20971520);

    // A link's listing tells nothing of its file's size: the copy it brings decides.
    server.put("/small.txt", "small");
    ASSERT_EQ(::symlink("small.txt", QFile::encodeName(server.local("/link.txt")).constData()), 0);
    model->browse();
    ASSERT_TRUE(eventually([&] { return !model->busy(); }));
    model->setErrorMessage({});
    select(false, {"link.txt"});
    prompter.applicationAnswers = {std::nullopt};
    model->editRemoteFile();
    ASSERT_TRUE(eventually([&] { return !model->busy() && model->edits().size() == 2; }));
    EXPECT_EQ(model->errorMessage(), "");
    EXPECT_EQ(contentOf(RemoteEditListModel::localPath(model->edits().last())), "small");
}

// An edit's upload is pending work: quitting, disconnecting and switching profiles ask first,
// naming the edit, and go ahead only when told to. A cancelled upload is logged and shown, and the
// server keeps its old file whole.
TEST_F(ModelTest, QuitDisconnectAndSwitchAskBeforeCuttingOffAnEditsUpload)
{
    server.put("/slow/big.txt", QByteArray(200'000, 'o'));
    start();
    connectAt("/slow");
    select(false, {"big.txt"});
    prompter.applicationAnswers = {std::nullopt};
    model->editRemoteFile();
    ASSERT_TRUE(eventually([&] { return model->edits().size() == 1 && !model->busy(); }));
    // Returns once the server holds the upload's hidden copy, while bytes still arrive.
    const auto uploadUnderWay = [&](const QByteArray& bytes) {
        writeFile(RemoteEditListModel::localPath(model->edits().first()), bytes);
        prompter.alertAnswers = {1};
        model->uploadEdit(model->edits().first().id);
        return eventually([&] {
            return !QDir(server.local("/slow"))
                        .entryList({".big.txt.dravik-upload-*"}, QDir::Files | QDir::Hidden)
                        .isEmpty();
        });
    };

    ASSERT_TRUE(uploadUnderWay(QByteArray(250'000, 'n')));
    std::optional<bool> quitAllowed;
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"quit", [&] { model->confirmStop(StopQuestion::Stop::quit, [&](bool allowed) { quitAllowed = allowed; }); }},
        {"disconnect", [&] { model->requestDisconnect(); }},
        {"connect", [&] { model->connect(profile, ProFTPDServer::password()); }},
    };
    for (const auto& [button, stop] : stops) {
        prompter.alertAnswers = {0};
        stop();
        EXPECT_EQ(prompter.alerts.last().message, L("transfers_active")) << button;
        EXPECT_EQ(prompter.alerts.last().informativeText, L("edit_upload_active", "big.txt")) << button;
        EXPECT_EQ(prompter.alerts.last().buttons, QStringList({L("continue_transfers"), L(button)})) << button;
    }
    ASSERT_TRUE(eventually([&] { return !model->busy(); }));
    EXPECT_EQ(quitAllowed, false);
    EXPECT_EQ(contentOf(server.local("/slow/big.txt")), QByteArray(250'000, 'n'));
    EXPECT_EQ(model->remoteFiles().first().size, 250'000) << "the pane is listed again";

    ASSERT_TRUE(uploadUnderWay(QByteArray(300'000, 'm')));
    prompter.alertAnswers = {1};
    model->requestDisconnect();
    ASSERT_TRUE(eventually([&] { return !model->isConnected(); }));
    settle();
    const QString cancelled = L("file_cancelled", "big.txt") + ". " + L("edit_server_unchanged");
    EXPECT_EQ(model->errorMessage(), cancelled);
    EXPECT_EQ(activity().last(), cancelled);
    EXPECT_EQ(contentOf(server.local("/slow/big.txt")), QByteArray(250'000, 'n'));

    // A disconnect while the switch question is open outranks the switch answered after it. The
    // cancelled upload's hidden copy goes first, so that only the new upload's can be waited for.
    for (const QString& left : QDir(server.local("/slow")).entryList({".big.txt.*"}, QDir::Files | QDir::Hidden))
        QFile::remove(server.local("/slow/" + left));
    connectAt("/slow");
    ASSERT_TRUE(uploadUnderWay(QByteArray(300'000, 'm')));
    prompter.onAlert = [&](const PromptAlert&) {
        prompter.onAlert = nullptr;
        model->disconnect();
    };
    prompter.alertAnswers = {1};
    model->connect(profile, ProFTPDServer::password());
    settle();
    EXPECT_FALSE(model->isConnected());
    EXPECT_FALSE(model->busy());
}
