#include "MainWindow.h"

#include "AppModel.h"
#include "ContentView.h"
#include "FilePaneView.h"
#include "L10n.h"
#include "PanelSizes.h"
#include "ProductInfo.h"
#include "StatusLine.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

using namespace Qt::StringLiterals;

MainWindow::MainWindow(AppModel& model, Prompter& prompter, QWidget* parent) : Retranslating(parent), m_model(model)
{
    setObjectName(u"main"_s);
    m_content = new ContentView(m_model, prompter);
    setCentralWidget(m_content);
    setStatusBar(new StatusLine(m_model));
    connect(m_content, &ContentView::settingsRequested, this, &MainWindow::settingsRequested);
    makeMenus();
    // The desktop writes the program's name after every window's own title ("0.1.0 — Dravik FTP"),
    // so the name here would stand twice.
    setWindowTitle(ProductInfo::version());
    setMinimumSize(1000, 650);
    resize(1180, 760);
    // Data the window cannot read leaves the size above.
    restoreGeometry(PanelSizes::storedWindowGeometry());
    retranslate();
}

MainWindow::~MainWindow()
{
    if (m_shown)
        PanelSizes::storeWindowGeometry(saveGeometry());
}

QAction* MainWindow::addCommand(QMenu* menu, const char* key, const QList<QKeySequence>& shortcuts)
{
    QAction* action = menu->addAction(QString());
    action->setShortcuts(shortcuts);
    m_commands.append({action, key});
    return action;
}

void MainWindow::addModelCommand(QMenu* menu, const char* key, Command command, const QKeySequence& shortcut,
                                 void (AppModel::*operation)())
{
    QAction* action = addCommand(menu, key, {shortcut});
    connect(action, &QAction::triggered, &m_model, operation);
    const auto follow = [this, action, command] { action->setEnabled(m_model.can(command)); };
    connect(&m_model, &AppModel::commandsChanged, action, follow);
    follow();
}

void MainWindow::makeMenus()
{
    QMenu* file = menuBar()->addMenu(QString());
    m_menus.append({file, "menu_file"});
    connect(addCommand(file, "menu_new_connection", {QKeySequence::New}), &QAction::triggered, this, [this] {
        m_model.setEditingProfile(std::nullopt);
        m_model.setShowConnectionEditor(true);
    });
    connect(addCommand(file, "menu_choose_local", {QKeySequence::Open}), &QAction::triggered, &m_model,
            &AppModel::chooseLocalFolder);
    file->addSeparator();
    connect(addCommand(file, "menu_settings", {QKeySequence(Qt::CTRL | Qt::Key_Comma)}), &QAction::triggered, this,
            &MainWindow::settingsRequested);
    file->addSeparator();
    connect(addCommand(file, "menu_quit", {QKeySequence(Qt::CTRL | Qt::Key_Q)}), &QAction::triggered, this,
            &MainWindow::quitRequested);

    QMenu* server = menuBar()->addMenu(QString());
    m_menus.append({server, "menu_server"});
    addModelCommand(server, "menu_connect", Command::connect, QKeySequence(Qt::CTRL | Qt::Key_K),
                    &AppModel::connectSaved);
    addModelCommand(server, "menu_disconnect", Command::disconnect, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K),
                    &AppModel::requestDisconnect);
    server->addSeparator();
    addModelCommand(server, "menu_compare", Command::compare, QKeySequence(Qt::CTRL | Qt::Key_M),
                    &AppModel::compareFolders);

    QMenu* transfer = menuBar()->addMenu(QString());
    m_menus.append({transfer, "menu_transfer"});
    const std::pair<QAction*, QKeySequence> transfers[] = {
        {m_content->localPane()->transferAction(), QKeySequence(Qt::CTRL | Qt::Key_U)},
        {m_content->remotePane()->transferAction(), QKeySequence(Qt::CTRL | Qt::Key_D)}};
    for (const auto& [action, shortcut] : transfers) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        transfer->addAction(action);
    }
    transfer->addSeparator();
    connect(addCommand(transfer, "menu_refresh", {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)}),
            &QAction::triggered, this, [this] {
                m_model.refreshLocal();
                m_model.browse(m_model.remotePath());
            });

    QMenu* view = menuBar()->addMenu(QString());
    m_menus.append({view, "menu_view"});
    // The desktop's file managers show hidden files with Ctrl+H.
    QAction* hidden =
        addCommand(view, "menu_show_hidden",
                   {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Period), QKeySequence(Qt::CTRL | Qt::Key_H)});
    hidden->setCheckable(true);
    hidden->setChecked(m_model.showHidden());
    connect(hidden, &QAction::toggled, &m_model, &AppModel::setShowHidden);
    connect(&m_model, &AppModel::showHiddenChanged, hidden,
            [this, hidden] { hidden->setChecked(m_model.showHidden()); });

    QMenu* help = menuBar()->addMenu(QString());
    m_menus.append({help, "menu_help"});
    connect(addCommand(help, "menu_about"), &QAction::triggered, this, &MainWindow::aboutRequested);
    QAction* updates = addCommand(help, "menu_check_updates");
    connect(updates, &QAction::triggered, &m_model, &AppModel::checkForUpdates);
    connect(&m_model, &AppModel::checkingUpdatesChanged, updates, [this, updates] {
        updates->setEnabled(m_model.can(Command::checkUpdates));
        updates->setText(m_model.checkingUpdates() ? L("menu_checking_updates") : L("menu_check_updates"));
    });

    // F10 opens the first menu, as in the desktop's other programs.
    auto* openMenus = new QAction(this);
    openMenus->setShortcut(QKeySequence(Qt::Key_F10));
    addAction(openMenus);
    connect(openMenus, &QAction::triggered, this,
            [this] { menuBar()->setActiveAction(menuBar()->actions().constFirst()); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing)
        return event->accept();
    event->ignore();
    Q_EMIT quitRequested();
}

void MainWindow::showEvent(QShowEvent* event)
{
    Retranslating::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    Q_EMIT firstShown();
}

void MainWindow::retranslate()
{
    for (const auto& [menu, key] : std::as_const(m_menus))
        menu->setTitle(L(key));
    for (const LabelledAction& command : std::as_const(m_commands))
        command.action->setText(L(command.key));
}
