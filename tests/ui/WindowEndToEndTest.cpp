#include "AppModel.h"
#include "ConnectionEditor.h"
#include "ContentView.h"
#include "DravikApp.h"
#include "FileListModel.h"
#include "FilePaneView.h"
#include "FileTableView.h"
#include "L10n.h"
#include "MainWindow.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"
#include "QtPrinters.h"
#include "QueueStore.h"
#include "Sidebar.h"
#include "TemporaryFolder.h"
#include "TransferPanel.h"
#include "TransferRowDelegate.h"
#include "WindowProbe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QSpinBox>
#include <QTest>

using ftptest::contentOf;

namespace {

bool eventually(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 60000);
}

// Where the row of `name` is shown in a pane's table; empty space below the rows for none.
QPoint rowAt(const FileTableView& table, const char* name)
{
    const QAbstractItemModel& rows = *table.model();
    for (int row = 0; name && row < rows.rowCount(); ++row) {
        const QModelIndex index = rows.index(row, FileListModel::nameColumn);
        if (index.data(FileListModel::NameRole).toString() == name)
            return table.visualRect(index).center();
    }
    EXPECT_EQ(name, nullptr) << "no row " << name;
    return {10, table.viewport()->height() - 10};
}

// Clicks the row of `name` in a pane's table, as a person selects a file.
void clickRow(FileTableView& table, const char* name)
{
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, rowAt(table, name));
}

// Answers the open alert with the button of that text.
bool answerAlert(const char* button)
{
    if (!eventually([] { return openWindow<QMessageBox>() != nullptr; }))
        return false;
    QMessageBox* alert = openWindow<QMessageBox>();
    EXPECT_EQ(alert->text(), L("transfers_active"));
    control(*alert, L(button))->click();
    return eventually([] { return openWindow<QMessageBox>() == nullptr; });
}

} // namespace

// A person's first minute: a profile saved in the editor, connected, a file downloaded, one
// uploaded, one dropped on the server's pane, and a quit held back while a transfer runs.
TEST(WindowEndToEnd, ASavedProfileConnectsAndFilesGoBothWaysThroughTheWindow)
{
    REQUIRE_PRIVATE_KEYRING();
    const PrivateKeyring keyring;
    const ProFTPDServer server;
    server.put("/Welcome.txt", "from the server\n");
    server.put("/slow/large.bin", QByteArray(4 << 20, 'x'));
    const TemporaryFolder local;
    local.write("notes.txt", "from this computer\n");
    const TemporaryFolder elsewhere;
    const QString dropped = elsewhere.write("dropped.txt", "dragged from the file manager\n");

    DravikApp program;
    MainWindow& window = program.window();
    AppModel& model = program.model();
    ContentView& content = *window.content();
    window.resize(1180, 760);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    model.openLocal(local.path());

    // The server's pane offers to connect once there is a profile to connect.
    QAbstractButton* connectHere = control(*content.remotePane(), L("connect"));
    ASSERT_NE(connectHere, nullptr);
    EXPECT_FALSE(connectHere->isVisibleTo(&window));
    control(*content.sidebar(), L("add_connection"))->click();
    ASSERT_TRUE(eventually([] { return openWindow<ConnectionEditor>() != nullptr; }));
    ConnectionEditor& editor = *openWindow<ConnectionEditor>();
    const ServerProfile address = server.profile(FTPProtocol::ftp);
    type(editor, "name", "Test server");
    type(editor, "server", " " + address.host + " ");
    control<QComboBox>(editor, L("protocol"))->setCurrentIndex(FTPProtocols::allCases().indexOf(FTPProtocol::ftp));
    control<QSpinBox>(editor, L("port"))->setValue(int(address.port));
    type(editor, "username", address.username);
    // Typed keys are ASCII only; the password is pasted.
    control<QLineEdit>(editor, L("password"))->setText(ProFTPDServer::password());
    control<QCheckBox>(editor, L("remember_password"))->setChecked(true);
    control(editor, L("save"))->click();
    ASSERT_TRUE(eventually([] { return openWindow<ConnectionEditor>() == nullptr; }))
        << model.errorMessage().toStdString();
    ASSERT_EQ(ProfileStore::load().size(), 1);
    EXPECT_EQ(ProfileStore::load().first().host, address.host);

    EXPECT_TRUE(connectHere->isVisibleTo(&window));
    EXPECT_TRUE(connectHere->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(control<QLabel>(*content.remotePane(), L("connect_profile_hint", "Test server")));
    connectHere->setFocus();
    QTest::keyClick(connectHere, Qt::Key_Space);
    ASSERT_TRUE(eventually([&] { return model.isConnected() && !model.busy(); })) << model.errorMessage().toStdString();

    FilePaneView& remote = *content.remotePane();
    clickRow(*remote.table(), "Welcome.txt");
    control(remote, L("download"))->click();
    EXPECT_TRUE(eventually([&] { return contentOf(local.file("Welcome.txt")) == "from the server\n"; }));

    // Once done, the server's folder is listed again.
    ASSERT_TRUE(eventually([&] { return model.pendingCount() == 0 && !model.isWorking(); }));
    FilePaneView& here = *content.localPane();
    clickRow(*here.table(), "notes.txt");
    control(here, L("upload"))->click();
    EXPECT_TRUE(eventually([&] { return contentOf(server.local("/notes.txt")) == "from this computer\n"; }));

    ASSERT_TRUE(eventually([&] { return model.pendingCount() == 0 && !model.isWorking(); }));
    EXPECT_TRUE(dropFiles(remote.table()->viewport(), {dropped}, rowAt(*remote.table(), nullptr)));
    EXPECT_TRUE(eventually([&] { return contentOf(server.local("/dropped.txt")) == contentOf(dropped); }));

    // With a transfer running, quitting asks first; continuing keeps everything going.
    ASSERT_TRUE(eventually([&] { return model.pendingCount() == 0 && !model.isWorking(); }));
    model.browse("/slow");
    ASSERT_TRUE(eventually([&] { return model.remotePath() == "/slow" && !model.busy(); }));
    clickRow(*remote.table(), "large.bin");
    control(remote, L("download"))->click();
    ASSERT_TRUE(eventually([&] { return model.pendingCount() == 1 && !model.planning(); }));
    // The row's own button cancels it, then retries it.
    QListView& transfers = *content.transferPanel()->transfers();
    const auto pressRowButton = [&] {
        const QRect row = transfers.visualRect(transfers.model()->index(transfers.model()->rowCount() - 1, 0));
        QTest::mouseClick(transfers.viewport(), Qt::LeftButton, {},
                          TransferRowDelegate::buttonArea(row, transfers.layoutDirection()).center());
    };
    pressRowButton();
    EXPECT_TRUE(eventually([&] { return model.transfers().last().state == TransferItem::State::cancelled; }));
    pressRowButton();
    ASSERT_TRUE(eventually([&] { return model.pendingCount() == 1 && !model.planning(); }));

    bool quit = false;
    QObject::connect(&program.delegate(), &AppDelegate::quitting, [&] { quit = true; });
    window.close();
    ASSERT_TRUE(answerAlert("continue_transfers"));
    EXPECT_FALSE(quit);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(model.pendingCount(), 1);

    // Quitting saves the queue as it stands, for the next start.
    window.close();
    ASSERT_TRUE(answerAlert("quit"));
    EXPECT_TRUE(quit && model.shuttingDown());
    EXPECT_TRUE(QueueStore::load(ProfileStore::load()).size() == 1);
}

// Rows dragged onto the other pane are queued as its transfer button queues them, into the folder
// shown or into the folder row they land on; a drop the transfer command would refuse, or one onto
// the pane the rows came from, queues nothing.
TEST(WindowEndToEnd, RowsDraggedOntoTheOtherPaneAreTransferredThereAndNowhereElse)
{
    const ProFTPDServer server;
    server.put("/report.txt", "from the server\n");
    const TemporaryFolder local;
    local.write("notes.txt", "from this computer\n");
    local.write("arrivals/.keep", "");

    DravikApp program;
    MainWindow& window = program.window();
    AppModel& model = program.model();
    FilePaneView& here = *window.content()->localPane();
    FilePaneView& there = *window.content()->remotePane();
    window.resize(1180, 760);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    model.openLocal(local.path());
    model.connect(server.profile(FTPProtocol::ftp), ProFTPDServer::password());
    ASSERT_TRUE(eventually([&] { return model.isConnected() && !model.busy() && model.localURL() == local.path(); }))
        << model.errorMessage().toStdString();

    const struct {
        FilePaneView& from;
        const char* row;
        FilePaneView& onto;
        // The folder row dropped on; none for empty space.
        const char* folder;
        bool disconnected;
        // Where the file arrives; empty when the drop is refused.
        QString arrives;
        QByteArray content;
    } cases[] = {
        {here, "notes.txt", there, nullptr, false, server.local("/notes.txt"), "from this computer\n"},
        {there, "report.txt", here, "arrivals", false, local.file("arrivals/report.txt"), "from the server\n"},
        {here, "notes.txt", here, nullptr, false, {}, {}},
        {there, "report.txt", there, nullptr, false, {}, {}},
        {here, "notes.txt", there, nullptr, true, {}, {}},
    };
    for (const auto& drag : cases) {
        SCOPED_TRACE(drag.row + std::string(drag.disconnected ? " after disconnecting" : ""));
        ASSERT_TRUE(eventually([&] { return model.pendingCount() == 0 && !model.isWorking(); }));
        clickRow(*drag.from.table(), drag.row);
        const QModelIndex dragged = drag.from.table()->currentIndex();
        EXPECT_TRUE(dragged.flags() & Qt::ItemIsDragEnabled);
        const std::unique_ptr<QMimeData> rows(drag.from.table()->mimeData());
        ASSERT_NE(rows, nullptr);
        if (drag.disconnected)
            model.disconnect();
        const qsizetype queued = model.transfers().size();
        const bool taken = drop(drag.onto.table()->viewport(), *rows, rowAt(*drag.onto.table(), drag.folder));
        EXPECT_EQ(taken, !drag.arrives.isEmpty());
        if (!taken) {
            QTest::qWait(50);
            EXPECT_EQ(model.transfers().size(), queued);
            continue;
        }
        ASSERT_TRUE(eventually([&] { return model.transfers().size() == queued + 1; }));
        EXPECT_TRUE(eventually([&] { return model.transfers().last().state == TransferItem::State::completed; }));
        EXPECT_EQ(contentOf(drag.arrives), drag.content);
    }
}
