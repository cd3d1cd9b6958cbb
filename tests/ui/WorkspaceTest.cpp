#include "AppLanguage.h"
#include "AppModel.h"
#include "ConflictDialog.h"
#include "ConnectionBar.h"
#include "ContentView.h"
#include "DesktopProgress.h"
#include "DravikApp.h"
#include "FileListModel.h"
#include "FilePaneView.h"
#include "FileTableView.h"
#include "L10n.h"
#include "MainWindow.h"
#include "PanelSizes.h"
#include "ProFTPDServer.h"
#include "ProductInfo.h"
#include "QtPrinters.h"
#include "ResizeHandle.h"
#include "Sidebar.h"
#include "TemporaryFolder.h"
#include "TextPrompt.h"
#include "TransferListModel.h"
#include "TransferPanel.h"
#include "TransferRowDelegate.h"
#include "WindowProbe.h"
#include "WindowPrompter.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QTest>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>
#include <cmath>

namespace {

// The program as it starts, its window shown at the smallest size it allows.
struct Program {
    Program()
    {
        program.window().resize(1000, 650);
        program.window().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&program.window()));
    }
    ContentView& content() { return *program.window().content(); }

    DravikApp program;
};

// Every label and tooltip of every window that shows `name`, as "window label" or "window tooltip";
// those that render it as markup go to `rendered` instead.
QStringList placesShowing(const QString& name, QStringList& rendered)
{
    const auto read = [](const QString& text, Qt::TextFormat format) {
        if (format == Qt::PlainText || !Qt::mightBeRichText(text))
            return text;
        QTextDocument document;
        document.setHtml(text);
        return document.toPlainText();
    };
    const QString word = name.section('>', -1);
    QStringList places;
    for (const QWidget* widget : QApplication::allWidgets()) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const std::pair<QString, const char*> shown[] = {
            {label ? read(label->text(), label->textFormat()) : QString(), " label"},
            {read(widget->toolTip(), Qt::AutoText), " tooltip"}};
        for (const auto& [text, kind] : shown)
            if (text.contains(word))
                (text.contains(name) ? places : rendered)
                    << widget->window()->metaObject()->className() + QString(kind);
    }
    places.removeDuplicates();
    places.sort();
    return places;
}

// The desktop around the program: a notification server, and a launcher that hears progress.
class DesktopListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit DesktopListener(QDBusConnection bus) : m_bus(bus)
    {
        m_bus.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
        m_bus.registerService("org.freedesktop.Notifications");
        m_bus.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", this,
                      SLOT(launcherUpdate(QString, QVariantMap)));
    }

    QStringList notified;
    // "uri visible": each change of the launcher's progress.
    QStringList launcher;
    double lastProgress = -1;

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap&, int)
    {
        notified << summary + " | " + body;
        return 1;
    }
    void launcherUpdate(const QString& uri, const QVariantMap& properties)
    {
        const QString entry = uri + ' ' + properties.value("progress-visible").toString();
        if (launcher.isEmpty() || launcher.last() != entry)
            launcher << entry;
        lastProgress = properties.value("progress").toDouble();
    }

private:
    QDBusConnection m_bus;
};

} // namespace

TEST(PanelSizes, TheSidebarAndTheTransferPanelStayWithinWhatTheWindowLeaves)
{
    const struct {
        double stored;
        int window;
        int sidebar;
        int panel;
    } cases[] = {
        {400, 1000, 353, 400}, {400, 800, 180, 400},  {50, 1400, 180, 120},
        {230, 1200, 230, 230}, {NAN, 1200, 180, 120}, {400, 600, 180, 270},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PanelSizes::sidebarWidth(c.stored, c.window), c.sidebar) << c.stored << " in " << c.window;
        EXPECT_EQ(PanelSizes::transferPanelHeight(c.stored, c.window), c.panel) << c.stored << " in " << c.window;
    }
}

TEST(Workspace, HandlesResizeFromTheShownSizeAndTheSizesAreKept)
{
    PanelSizes::storeSidebarWidth(50);
    {
        Program program;
        // The desktop shows a window's title followed by the program's name: the name once.
        const QString title = program.program.window().windowTitle() + " — " + ProductInfo::name();
        EXPECT_EQ(title.count(ProductInfo::name()), 1);
        EXPECT_TRUE(title.contains(ProductInfo::version()));
        ContentView& content = program.content();
        EXPECT_EQ(content.sidebar()->width(), 180);
        EXPECT_EQ(content.transferPanel()->height(), PanelSizes::defaultTransferPanelHeight);

        // A drag starts from what is shown (180), not from what was stored (50).
        ResizeHandle* sidebar = content.sidebarHandle();
        QTest::mousePress(sidebar, Qt::LeftButton, {}, {3, 100});
        QTest::mouseMove(sidebar, {43, 100});
        QTest::mouseRelease(sidebar, Qt::LeftButton, {}, {43, 100});
        EXPECT_EQ(content.sidebar()->width(), 220);
        // The keys step by 30, and never past what the window leaves (1000 - 647).
        sidebar->setFocus();
        for (int step = 0; step < 6; ++step)
            QTest::keyClick(sidebar, Qt::Key_Right);
        EXPECT_EQ(content.sidebar()->width(), 353);

        // Dragging the panel's handle down makes the panel shorter.
        ResizeHandle* panel = content.transferHandle();
        QTest::mousePress(panel, Qt::LeftButton, {}, {100, 3});
        QTest::mouseMove(panel, {100, 53});
        QTest::mouseRelease(panel, Qt::LeftButton, {}, {100, 53});
        EXPECT_EQ(content.transferPanel()->height(), PanelSizes::defaultTransferPanelHeight - 50);
    }
    EXPECT_EQ(PanelSizes::storedSidebarWidth(), 353);
    EXPECT_EQ(PanelSizes::storedTransferPanelHeight(), PanelSizes::defaultTransferPanelHeight - 50);
    Program again;
    EXPECT_EQ(again.content().sidebar()->width(), 353);
    EXPECT_EQ(again.content().transferPanel()->height(), PanelSizes::defaultTransferPanelHeight - 50);
}

// The window comes back where and as large as it was left; stored data it cannot read is no size.
TEST(Workspace, TheWindowOpensAsItWasLeft)
{
    {
        Program program;
        program.program.window().resize(1111, 777);
        program.content().localPane()->table()->sortByColumn(FileListModel::sizeColumn, Qt::DescendingOrder);
    }
    {
        DravikApp again;
        EXPECT_EQ(again.window().size(), QSize(1111, 777));
        // The table shows the order it sorts in, not its own first heading.
        const QHeaderView* heading = again.window().content()->localPane()->table()->horizontalHeader();
        EXPECT_EQ(heading->sortIndicatorSection(), FileListModel::sizeColumn);
        EXPECT_EQ(heading->sortIndicatorOrder(), Qt::DescendingOrder);
        EXPECT_EQ(again.model().localFileList()->sortOrder().field, FileSortComparator::Field::size);
    }
    preferences().setValue("windowGeometry", QByteArray("not a window"));
    DravikApp unreadable;
    EXPECT_EQ(unreadable.window().size(), QSize(1180, 760));
}

TEST(Workspace, EscapeEmptiesAFilterBeingTypedAndOnlyThen)
{
    Program program;
    auto* filter = control<QLineEdit>(*program.content().localPane(), L("filter_files"));
    ASSERT_NE(filter, nullptr);
    filter->setFocus();
    QTest::keyClicks(filter, "rep");
    EXPECT_EQ(program.program.model().localSearch(), "rep");
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_EQ(filter->text(), QString());
    EXPECT_EQ(program.program.model().localSearch(), QString());
    QKeyEvent escape(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
    escape.ignore();
    QCoreApplication::sendEvent(filter, &escape);
    EXPECT_FALSE(escape.isAccepted());
}

TEST(Workspace, NewFolderAndRenameAreConfirmedOnlyForUsableNames)
{
    TemporaryFolder local;
    local.write("report.txt", "r");
    Program program;
    AppModel& model = program.program.model();
    model.openLocal(local.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.localURL() == local.path(); }));
    FilePaneView& pane = *program.content().localPane();
    // The footer counts in the singular too.
    EXPECT_TRUE(QTest::qWaitFor([&pane] {
        const QList<QLabel*> labels = pane.findChildren<QLabel*>();
        return std::any_of(labels.begin(), labels.end(), [](QLabel* label) { return label->text() == "1 item"; });
    }));

    const auto check = [&](const char* name, const char* confirm, const QString& chosen) {
        command(pane, L(name))->trigger();
        TextPrompt* prompt = openWindow<TextPrompt>();
        EXPECT_NE(prompt, nullptr) << name;
        if (!prompt)
            return;
        QLineEdit* field = prompt->findChild<QLineEdit*>();
        QPushButton* confirming = control<QPushButton>(*prompt, L(confirm));
        for (const char* unusable : {"", ".", "..", "a/b", "two\nlines"}) {
            field->setText(unusable);
            EXPECT_FALSE(confirming->isEnabled()) << name << " " << unusable;
        }
        field->setText(chosen);
        EXPECT_TRUE(confirming->isEnabled());
        confirming->click();
        QTest::qWait(0);
    };
    check("new_local_folder", "create", "Folder");
    EXPECT_TRUE(QFileInfo(local.file("Folder")).isDir());
    // The keyboard goes on from the new folder.
    EXPECT_TRUE(QTest::qWaitFor([&pane] {
        return pane.table()->currentIndex().siblingAtColumn(FileListModel::nameColumn).data(FileListModel::NameRole) ==
               QStringLiteral("Folder");
    }));

    model.setLocalSelection({"report.txt"});
    check("rename", "rename", "notes.txt");
    EXPECT_FALSE(QFile::exists(local.file("report.txt")));
    EXPECT_TRUE(QFile::exists(local.file("notes.txt")));

    // Tab leaves the table at once and keeps the selection; empty space has the folder's menu and
    // lets go of the selection, which the item commands would act on.
    model.setLocalSelection({"notes.txt"});
    pane.table()->setFocus();
    QTest::keyClick(pane.table(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), pane.table());
    EXPECT_EQ(model.localSelection(), QSet<QString>({"notes.txt"}));
    const QList<QAction*> overEmptySpace = pane.contextActions(QPoint(1, pane.table()->viewport()->height() - 1));
    EXPECT_EQ(overEmptySpace, QList<QAction*>({command(pane, L("new_local_folder")), command(pane, L("refresh")),
                                               command(pane, L("go_folder"))}));
    EXPECT_TRUE(model.localSelection().isEmpty());
}

// A name from a server that looks like markup reads as written wherever it is shown.
TEST(Workspace, NamesFromAServerAreShownAsTheyStandNeverAsMarkup)
{
    const QString name = "<h1 style=color:red>Big";
    const ProFTPDServer server;
    server.put("/" + name + "/notes.txt", "n");
    ServerProfile profile = server.profile(FTPProtocol::ftp);
    profile.name = name;
    profile.initialPath = "/" + name;
    Program program;
    AppModel& model = program.program.model();
    model.connect(profile, ProFTPDServer::password());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isConnected() && !model.busy(); }, 30000))
        << model.errorMessage().toStdString();

    WindowPrompter prompter(&program.program.window());
    TransferConflict conflict{true, "/l/" + name, "/r/" + name, FileEntry{name + "\x1b]0;title\x07", false, 1, {}},
                              FileEntry{name, false, 1, {}}};
    QFuture<std::optional<ConflictAnswer>> asked = prompter.conflict(conflict);
    QFuture<std::optional<QString>> chooser =
        prompter.chooseApplication("/tmp/" + name, {{"vim.desktop", "Vim", "", false}});
    QFuture<int> alert = prompter.alert({PromptAlert::Style::warning, name, name, {"OK"}});
    QTest::qWait(0);

    QStringList rendered;
    EXPECT_EQ(placesShowing(name, rendered).join(", "),
              "ApplicationChooser label, ConflictDialog label, ConflictDialog tooltip, "
              "MainWindow label, MainWindow tooltip, QMessageBox label");
    EXPECT_EQ(rendered.join(", "), "");
    // Control characters are written out, so that they cannot act on the screen.
    EXPECT_NE(control<QLabel>(*openWindow<ConflictDialog>(), name + R"(\x1B]0;title\x07)"), nullptr);
    asked.cancel();
    chooser.cancel();
    alert.cancel();
}

TEST(Workspace, CommandsThatStartWorkWaitWhileAConnectionIsUnderway)
{
    // A server that takes connections and never says a word, so that a connection stays underway.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    Program program;
    AppModel& model = program.program.model();
    ContentView& content = program.content();
    QAbstractButton* connect = control(content, L("connect"));
    ServerProfile profile;
    profile.host = "127.0.0.1";
    profile.port = silent.serverPort();
    profile.protocolType = FTPProtocol::ftp;
    profile.username = "nobody";

    // Files dropped on the server's pane before there is a connection are refused.
    EXPECT_FALSE(dropFiles(content.remotePane()->table()->viewport(), {QDir::tempPath()}));
    // This computer's pane takes no drops at all.
    EXPECT_FALSE(dropFiles(content.localPane()->table()->viewport(), {QDir::tempPath()}));

    EXPECT_TRUE(connect->isEnabled());
    model.connect(profile, "secret");
    EXPECT_TRUE(model.busy());
    EXPECT_FALSE(connect->isEnabled());
    model.disconnect();
    EXPECT_TRUE(connect->isEnabled());
}

TEST(Workspace, ALanguageSwitchRendersTheWindowAgainAndArabicMirrorsAllButThePaneOrder)
{
    Program program;
    ContentView& content = program.content();
    LanguageSettings& language = program.program.language();
    for (const char* code : {"de", "ar", "en"}) {
        language.setSelection(code);
        QTest::qWait(0);
        EXPECT_NE(control(content, L("connect")), nullptr) << code;
        EXPECT_EQ(program.program.window().menuBar()->actions().first()->text(), L("menu_file"));
        const bool arabic = QString(code) == "ar";
        EXPECT_EQ(content.isRightToLeft(), arabic);
        EXPECT_EQ(content.sidebar()->x() > content.localPane()->x(), arabic) << code;
        // This computer stays on the left, the server on the right.
        EXPECT_LT(content.localPane()->x(), content.remotePane()->x()) << code;
    }
}

// The menus read the model's rules; in every language each title and each item carries a mnemonic
// of its own among its neighbours.
TEST(Workspace, TheMenusCarryMnemonicsShortcutsAndFollowTheModel)
{
    Program program;
    MainWindow& window = program.program.window();
    LanguageSettings& language = program.program.language();
    const QList<const char*> titles = {"menu_file", "menu_server", "menu_transfer", "menu_view", "menu_help"};
    // The letter after the one '&' of a text; none where it has no '&' or several.
    const auto mnemonic = [](const QString& text) {
        return text.count('&') == 1 && !text.endsWith('&') ? text.at(text.indexOf('&') + 1).toLower() : QChar();
    };
    for (const AppLanguage& supported : AppLanguage::supported()) {
        const std::string code = supported.id.toStdString();
        language.setSelection(supported.id);
        ASSERT_TRUE(QTest::qWaitFor([&] { return L10n::code() == supported.id; })) << code;
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window.menuBar());
        ASSERT_EQ(bar->childCount(), titles.size());
        QSet<QChar> letters;
        for (int menu = 0; menu < titles.size(); ++menu) {
            letters.insert(mnemonic(L(titles[menu])));
            EXPECT_EQ(bar->child(menu)->text(QAccessible::Name), QString(L(titles[menu])).remove('&')) << code;
            QList<QChar> items;
            for (const QAction* item : window.menuBar()->actions().at(menu)->menu()->actions())
                if (!item->isSeparator())
                    items.append(mnemonic(item->text()));
            EXPECT_EQ(QSet<QChar>(items.begin(), items.end()).size(), items.size()) << code << " " << titles[menu];
            EXPECT_FALSE(items.contains(QChar())) << code << " " << titles[menu];
        }
        EXPECT_EQ(letters.size(), titles.size()) << code;
        EXPECT_FALSE(letters.contains(QChar())) << code;
        // The item a running update check shows keeps a letter of its own beside About.
        EXPECT_NE(mnemonic(L("menu_checking_updates")), mnemonic(L("menu_about"))) << code;
        EXPECT_FALSE(mnemonic(L("menu_checking_updates")).isNull()) << code;
    }
    language.setSelection("en");
    ASSERT_TRUE(QTest::qWaitFor([] { return L10n::code() == "en"; }));
    QHash<QString, QAction*> items;
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            items.insert(item->text(), item);
    const QList<std::pair<const char*, QKeySequence>> shortcuts = {
        {"menu_connect", QKeySequence("Ctrl+K")},  {"menu_disconnect", QKeySequence("Ctrl+Shift+K")},
        {"menu_compare", QKeySequence("Ctrl+M")},  {"menu_upload", QKeySequence("Ctrl+U")},
        {"menu_download", QKeySequence("Ctrl+D")}, {"menu_refresh", QKeySequence("F5")},
        {"menu_settings", QKeySequence("Ctrl+,")}, {"menu_quit", QKeySequence("Ctrl+Q")}};
    for (const auto& [key, shortcut] : shortcuts) {
        ASSERT_TRUE(items.contains(L(key))) << key;
        EXPECT_EQ(items[L(key)]->shortcut(), shortcut) << key;
    }
    // Without a connection only connecting is offered.
    EXPECT_TRUE(items[L("menu_connect")]->isEnabled());
    for (const char* key : {"menu_disconnect", "menu_compare", "menu_upload", "menu_download"})
        EXPECT_FALSE(items[L(key)]->isEnabled()) << key;

    // Backspace goes up a folder in the pane that has the focus.
    AppModel& model = program.program.model();
    const QString parent = QFileInfo(model.localURL()).dir().absolutePath();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    program.content().localPane()->table()->setFocus();
    QTest::keyClick(program.content().localPane()->table(), Qt::Key_Backspace);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.localURL() == parent; }));
    // F10 opens the first menu.
    QTest::keyClick(program.content().localPane()->table(), Qt::Key_F10);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QApplication::activePopupWidget() == window.menuBar()->actions().first()->menu(); }));
    QApplication::activePopupWidget()->close();
}

// A failed transfer's error takes one line of its row, shortened to fit; the tooltip has all of it,
// as written.
TEST(Workspace, ATransferRowShowsItsWholeErrorInItsTooltip)
{
    const QString error = L("permission_denied") + " curl: (25) <b>upload</b> failed " + QString(200, 'x');
    QStandardItemModel items;
    auto* item = new QStandardItem("report.pdf");
    item->setData(int(TransferItem::State::failed), TransferListModel::StateRole);
    item->setData(error, TransferListModel::ErrorRole);
    items.appendRow(item);
    QListView view;
    view.setModel(&items);
    view.setItemDelegate(new TransferRowDelegate(&view));
    view.resize(500, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QPoint row = view.visualRect(items.index(0, 0)).center();
    QHelpEvent help(QEvent::ToolTip, row, view.viewport()->mapToGlobal(row));
    QCoreApplication::sendEvent(view.viewport(), &help);
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), error);
    QToolTip::hideText();
}

// At the window's first size the transfer panel shows five whole rows, each on one line, in every
// language: nothing cut at the top or bottom, a running download's status whole.
TEST(Workspace, TheFirstWindowShowsFiveTransferRowsWithTheirWholeStatus)
{
    DravikApp program;
    program.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&program.window()));
    TransferListModel& list = *program.model().transferList();
    QList<TransferItem> items;
    for (int n = 0; n < 12; ++n) {
        TransferItem item{FTPClient(ServerProfile(), QString())};
        item.upload = n % 2;
        item.localURL = QString("/tmp/Holiday photo %1.jpg").arg(n);
        items << item;
    }
    list.append(items);
    list.finish(0, TransferItem::State::running, std::nullopt);
    list.setProgress(0, 0.125, {16800000, 0.01});
    list.finish(1, TransferItem::State::failed, "Permission denied");
    list.finish(2, TransferItem::State::completed, std::nullopt);
    const QListView* view = nullptr;
    for (const QListView* shown : program.window().content()->transferPanel()->findChildren<QListView*>())
        if (shown->model() == &list)
            view = shown;
    ASSERT_NE(view, nullptr);
    for (const char* code : {"en", "de", "ar", "ja"}) {
        program.language().setSelection(code);
        QTest::qWait(0);
        if (QString(code) == "en") {
            EXPECT_EQ(TransferRowDelegate::statusText(list.index(0)), "12% · 2.1 MB of 16.8 MB · 168 KB/s · 1:28 left");
        }
        for (int row = 0; row < 5; ++row) {
            const QModelIndex index = list.index(row);
            QStyleOptionViewItem option;
            option.initFrom(view->viewport());
            option.rect = view->visualRect(index);
            EXPECT_TRUE(view->viewport()->rect().contains(option.rect)) << code << " row " << row;
            const QString status = TransferRowDelegate::statusText(index);
            QTextLayout line(index.data().toString() + L("to_server") + L("to_mac") + status, view->font());
            line.beginLayout();
            EXPECT_GE(option.rect.height(), line.createLine().height()) << code;
            line.endLayout();
            EXPECT_GE(TransferRowDelegate::statusArea(option, index).width(),
                      option.fontMetrics.horizontalAdvance(status))
                << code << ' ' << status.toStdString();
        }
    }
}

TEST(Workspace, AQueueEndingWhileThePersonIsElsewhereIsNotifiedAndItsProgressIsOnTheLauncher)
{
    const ProFTPDServer server;
    const TemporaryFolder local;
    local.write("a.txt", "alpha");
    local.write("b.txt", "beta");
    DesktopListener desktop(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop"));
    Program program;
    AppModel& model = program.program.model();
    // The person is in another window: one of the program's that never shows.
    QWidget elsewhere;
    DesktopProgress shown(model, elsewhere, QDBusConnection::sessionBus(), std::chrono::milliseconds(0));
    program.program.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return program.program.window().isActiveWindow(); }));
    DesktopProgress unseen(model, program.program.window(), QDBusConnection::sessionBus(),
                           std::chrono::milliseconds(0));
    model.connect(server.profile(FTPProtocol::ftp), ProFTPDServer::password());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isConnected() && !model.busy(); }, 30000));
    model.openLocal(local.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.localFiles().size() == 2; }));

    model.setLocalSelection({"a.txt"});
    model.enqueue(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.completedCount() == 1 && !desktop.notified.isEmpty(); }));
    EXPECT_EQ(desktop.notified, QStringList{"Transfers finished | "});
    const QString uri = "application://" + ProductInfo::applicationID() + ".desktop";
    EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.launcher.size() == 2; }));
    EXPECT_EQ(desktop.launcher, (QStringList{uri + " true", uri + " false"}));

    // A source gone by the time its turn comes fails, and the queue stops there.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isWorking(); }));
    model.setQueuePaused(true);
    model.setLocalSelection({"b.txt"});
    model.enqueue(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.pendingCount() == 1 && !model.planning(); }));
    QFile::remove(local.file("b.txt"));
    model.setQueuePaused(false);
    model.runNext();
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.notified.size() == 2; }));
    EXPECT_TRUE(desktop.notified.last().startsWith("Transfers stopped at a failure | b.txt: "))
        << desktop.notified.last().toStdString();
    QTest::qWait(200);
    EXPECT_EQ(desktop.notified.size(), 2) << "nothing while the person is in the window";
    QDBusConnection::disconnectFromBus("desktop");
}

TEST(Workspace, AFailureIsShownInAnAlertThatClearsItOnceRead)
{
    Program program;
    AppModel& model = program.program.model();
    model.setErrorMessage("The server went away.");
    ASSERT_TRUE(QTest::qWaitFor([] { return openWindow<QMessageBox>() != nullptr; }));
    QMessageBox& alert = *openWindow<QMessageBox>();
    EXPECT_EQ(alert.text(), L("operation_failed"));
    EXPECT_EQ(alert.informativeText(), "The server went away.");
    control(alert, L("ok"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.errorMessage().isEmpty(); }));
}

TEST(Workspace, QuittingWithNothingPendingQuitsAtOnceAfterSavingTheQueue)
{
    Program program;
    bool quit = false;
    QObject::connect(&program.program.delegate(), &AppDelegate::quitting, [&] { quit = true; });
    program.program.window().close();
    EXPECT_TRUE(quit);
    EXPECT_TRUE(program.program.model().shuttingDown());
    EXPECT_EQ(openWindow<QDialog>(), nullptr);
}

#include "WorkspaceTest.moc"
