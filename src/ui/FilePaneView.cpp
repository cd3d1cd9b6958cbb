#include "FilePaneView.h"

#include "AppModel.h"
#include "DisconnectedPage.h"
#include "DisplayText.h"
#include "FileFilterModel.h"
#include "FileListModel.h"
#include "FileTableView.h"
#include "FilterField.h"
#include "Icons.h"
#include "L10n.h"
#include "PathLabel.h"
#include "RemotePath.h"
#include "TextPrompt.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FilePaneView::FilePaneView(AppModel& model, bool local, QWidget* parent)
    : Retranslating(parent), m_model(model), m_local(local)
{
    makeCommands();
    m_pages = new QStackedWidget;
    m_pages->addWidget(makeTable());
    if (!m_local)
        m_pages->addWidget(new DisconnectedPage(m_model));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeHeader());
    layout->addWidget(m_search);
    layout->addWidget(m_pages, 1);
    layout->addWidget(makeFooter());

    FileFilterModel* visible = m_local ? m_model.visibleLocalFiles() : m_model.visibleRemoteFiles();
    connect(visible, &QAbstractItemModel::modelReset, this, &FilePaneView::showSelection);
    // A filter that hides a selected entry deselects it: what the pane does not show is not acted on.
    connect(visible, &QAbstractItemModel::layoutChanged, this, &FilePaneView::takeSelection);
    connect(visible, &QAbstractItemModel::layoutChanged, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::modelReset, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::rowsInserted, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::rowsRemoved, this, &FilePaneView::showCount);
    connect(&m_model, m_local ? &AppModel::localSelectionChanged : &AppModel::remoteSelectionChanged, this,
            &FilePaneView::showSelection);
    connect(&m_model, m_local ? &AppModel::localSearchChanged : &AppModel::remoteSearchChanged, this, [this] {
        const QString search = m_local ? m_model.localSearch() : m_model.remoteSearch();
        if (m_search->text() != search)
            m_search->setText(search);
    });
    connect(&m_model, m_local ? &AppModel::localURLChanged : &AppModel::remotePathChanged, this,
            &FilePaneView::showPlace);
    connect(&m_model, &AppModel::commandsChanged, this, &FilePaneView::updateCommands);
    connect(&m_model, &AppModel::connectedProfileChanged, this, &FilePaneView::updateCommands);
    retranslate();
    showPlace();
    updateCommands();
}

QAction* FilePaneView::addCommand(const char* key, const char* symbol, const QList<QKeySequence>& shortcuts)
{
    auto* action = new QAction(this);
    if (symbol)
        action->setIcon(Icons::icon(QString::fromLatin1(symbol)));
    if (!shortcuts.isEmpty()) {
        action->setShortcuts(shortcuts);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    m_commands.append({action, key});
    return action;
}

void FilePaneView::makeCommands()
{
    m_up = addCommand("go_up", "arrow.up", {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::Key_Backspace)});
    // F5 belongs to the window: it refreshes both panes.
    m_refresh = addCommand("refresh", "arrow.clockwise");
    m_newFolder = addCommand(m_local ? "new_local_folder" : "new_remote_folder", "folder.badge.plus",
                             {QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
    m_openFolder = addCommand("open_folder", nullptr);
    m_goFolder = addCommand("go_folder", nullptr, {QKeySequence(Qt::CTRL | Qt::Key_L)});
    m_rename = addCommand("rename", nullptr, {QKeySequence(Qt::Key_F2)});
    m_delete = addCommand(m_local ? "trash_action" : "delete_remote", nullptr, {QKeySequence(QKeySequence::Delete)});
    m_transfer = addCommand(m_local ? "menu_upload" : "menu_download", m_local ? "arrow.right" : "arrow.left");
    connect(m_up, &QAction::triggered, this, &FilePaneView::goUp);
    connect(m_refresh, &QAction::triggered, this, [this] { m_local ? m_model.refreshLocal() : m_model.browse(); });
    connect(m_newFolder, &QAction::triggered, this, &FilePaneView::askNewFolder);
    connect(m_openFolder, &QAction::triggered, this,
            [this] { m_local ? m_model.openLocalSelection() : m_model.openRemoteSelection(); });
    connect(m_goFolder, &QAction::triggered, this, &FilePaneView::askGoTo);
    connect(m_rename, &QAction::triggered, this, &FilePaneView::askRename);
    connect(m_delete, &QAction::triggered, this, [this] { m_model.deleteSelection(m_local); });
    connect(m_transfer, &QAction::triggered, this, [this] { m_model.enqueue(m_local); });
    if (m_local) {
        m_chooseFolder = addCommand("choose_folder", "folder");
        connect(m_chooseFolder, &QAction::triggered, &m_model, &AppModel::chooseLocalFolder);
        m_showInFileManager = addCommand("show_finder", nullptr);
        connect(m_showInFileManager, &QAction::triggered, this, &FilePaneView::showInFileManager);
    } else {
        m_editRemote = addCommand("edit_remote", nullptr);
        connect(m_editRemote, &QAction::triggered, &m_model, &AppModel::editRemoteFile);
        m_permissions = addCommand("permissions", nullptr);
        connect(m_permissions, &QAction::triggered, this, &FilePaneView::askPermissions);
    }
}

QToolButton* FilePaneView::iconButton(QAction* action)
{
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const LabelledAction& command : std::as_const(m_commands))
        if (command.action == action)
            m_iconButtons.append({button, command.key});
    return button;
}

QWidget* FilePaneView::makeHeader()
{
    auto* header = new QWidget;
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(m_local ? u"laptopcomputer"_s : u"server.rack"_s).pixmap(20));
    m_title = DisplayText::emphasised(new QLabel);
    m_place = new PathLabel;

    auto* menu = new QMenu(this);
    menu->addAction(m_goFolder);
    menu->addAction(m_rename);
    if (!m_local) {
        menu->addAction(m_editRemote);
        menu->addAction(m_permissions);
    }
    menu->addSeparator();
    menu->addAction(m_delete);
    m_fileActions = new QToolButton;
    m_fileActions->setIcon(Icons::icon(u"ellipsis.circle"_s));
    m_fileActions->setMenu(menu);
    m_fileActions->setPopupMode(QToolButton::InstantPopup);
    m_fileActions->setAutoRaise(true);

    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(icon);
    layout->addWidget(m_title);
    layout->addWidget(m_place, 1);
    for (QAction* action : {m_up, m_refresh, m_newFolder, m_chooseFolder})
        if (action)
            layout->addWidget(iconButton(action));
    layout->addWidget(m_fileActions);

    m_search = new FilterField;
    m_search->addAction(Icons::icon(u"magnifyingglass"_s), QLineEdit::LeadingPosition);
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_local ? m_model.setLocalSearch(text) : m_model.setRemoteSearch(text); });
    return header;
}

QWidget* FilePaneView::makeTable()
{
    m_table = new FileTableView;
    // Read before the table is given the rows, as the table sorts them by its own heading then.
    const FileSortComparator order = (m_local ? m_model.localFileList() : m_model.remoteFileList())->sortOrder();
    m_table->setModel(m_local ? m_model.visibleLocalFiles() : m_model.visibleRemoteFiles());
    m_table->sortByColumn(int(order.field), order.order);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(FileListModel::nameColumn, QHeaderView::Stretch);
    header->resizeSection(FileListModel::sizeColumn, 80);
    header->resizeSection(FileListModel::modifiedColumn, 155);
    m_table->setMinimumWidth(130 + 65 + 125);
    if (!m_local)
        m_table->acceptDrops([this](const QStringList& paths) { return m_model.enqueueDroppedUploads(paths); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FilePaneView::takeSelection);
    connect(m_table, &QAbstractItemView::activated, m_openFolder, &QAction::trigger);
    connect(m_table, &QWidget::customContextMenuRequested, this, &FilePaneView::showContextMenu);
    return m_table;
}

QWidget* FilePaneView::makeFooter()
{
    auto* footer = new QWidget;
    m_count = new QLabel;
    m_transferButton = new QPushButton;
    m_transferButton->setIcon(m_transfer->icon());
    connect(m_transferButton, &QPushButton::clicked, m_transfer, &QAction::trigger);
    connect(m_transfer, &QAction::enabledChanged, m_transferButton, &QWidget::setEnabled);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->addWidget(m_count, 1);
    layout->addWidget(m_transferButton);
    return footer;
}

// The view's selection becomes the model's (names, not rows).
void FilePaneView::takeSelection()
{
    if (m_showingSelection)
        return;
    QSet<QString> names;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows(FileListModel::nameColumn))
        names.insert(row.data(FileListModel::NameRole).toString());
    m_local ? m_model.setLocalSelection(names) : m_model.setRemoteSelection(names);
}

// The model's selection, as the view shows it; after a new listing the view has none of its own.
void FilePaneView::showSelection()
{
    const QSet<QString> names = m_local ? m_model.localSelection() : m_model.remoteSelection();
    QItemSelectionModel* selection = m_table->selectionModel();
    QSet<QString> shown;
    for (const QModelIndex& row : selection->selectedRows(FileListModel::nameColumn))
        shown.insert(row.data(FileListModel::NameRole).toString());
    if (shown == names)
        return;
    QItemSelection rows;
    const QAbstractItemModel* visible = m_table->model();
    for (int row = 0; !names.isEmpty() && row < visible->rowCount(); ++row) {
        const QModelIndex index = visible->index(row, FileListModel::nameColumn);
        if (names.contains(index.data(FileListModel::NameRole).toString()))
            rows.select(index, index);
    }
    m_showingSelection = true;
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The keyboard starts from what the model selected (the folder just left, the one just made).
    if (!rows.isEmpty()) {
        const QModelIndex first = rows.first().topLeft();
        selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        m_table->scrollTo(first);
    }
    m_showingSelection = false;
}

void FilePaneView::showPlace()
{
    m_place->setPath(m_local ? QDir::toNativeSeparators(m_model.localURL()) : m_model.remotePath());
}

void FilePaneView::showCount()
{
    m_count->setText(L("item_count", L10n::locale().toString(m_table->model()->rowCount())));
}

void FilePaneView::updateCommands()
{
    const auto can = [this](Command local, Command remote) { return m_model.can(m_local ? local : remote); };
    const bool reachable = can(Command::localRefresh, Command::remoteRefresh);
    m_up->setEnabled(can(Command::localUp, Command::remoteUp));
    m_refresh->setEnabled(reachable);
    m_newFolder->setEnabled(can(Command::localNewFolder, Command::remoteNewFolder));
    m_openFolder->setEnabled(can(Command::localOpenFolder, Command::remoteOpenFolder));
    m_goFolder->setEnabled(can(Command::localGoTo, Command::remoteGoTo));
    m_rename->setEnabled(can(Command::localRename, Command::remoteRename));
    m_delete->setEnabled(can(Command::localDelete, Command::remoteDelete));
    m_transfer->setEnabled(can(Command::upload, Command::download));
    if (m_chooseFolder)
        m_chooseFolder->setEnabled(m_model.can(Command::chooseLocalFolder));
    if (m_editRemote)
        m_editRemote->setEnabled(m_model.can(Command::editRemote));
    if (m_permissions)
        m_permissions->setEnabled(m_model.can(Command::permissions));
    if (m_showInFileManager)
        m_showInFileManager->setEnabled(m_model.can(Command::showInFileManager));
    m_fileActions->setEnabled(reachable);
    m_search->setEnabled(reachable);
    if (!m_local)
        m_pages->setCurrentIndex(m_model.isConnected() ? 0 : 1);
}

QList<QAction*> FilePaneView::contextActions(const QPoint& position)
{
    if (!m_table->indexAt(position).isValid()) {
        m_local ? m_model.setLocalSelection({}) : m_model.setRemoteSelection({});
        return {m_newFolder, m_refresh, m_goFolder};
    }
    QList<QAction*> actions{m_openFolder};
    if (m_editRemote)
        actions << m_editRemote;
    actions << m_transfer << nullptr << m_rename << m_delete;
    if (m_showInFileManager)
        actions << nullptr << m_showInFileManager;
    return actions;
}

void FilePaneView::showContextMenu(const QPoint& position)
{
    QMenu menu;
    for (QAction* action : contextActions(position)) {
        if (action)
            menu.addAction(action);
        else
            menu.addSeparator();
    }
    menu.exec(m_table->viewport()->mapToGlobal(position));
}

void FilePaneView::showInFileManager()
{
    const QSet<QString> selection = m_model.localSelection();
    if (selection.size() != 1)
        return;
    m_model.showInFileManager(QDir(m_model.localURL()).filePath(*selection.cbegin()));
}

void FilePaneView::goUp()
{
    if (m_local)
        return m_model.openLocal(QFileInfo(m_model.localURL()).dir().absolutePath());
    m_model.browse(RemotePath::parent(m_model.remotePath()));
}

void FilePaneView::askNewFolder()
{
    const bool local = m_local;
    TextPrompt::ask(this,
                    {local ? "new_local_folder" : "new_remote_folder", "folder_name", "create",
                     [this, local] {
                         return L("folder_destination",
                                  local ? QDir::toNativeSeparators(m_model.localURL()) : m_model.remotePath());
                     },
                     RemotePath::isValidName},
                    {}, [this, local](const QString& name) {
                        local ? m_model.createLocalFolder(name) : m_model.createRemoteFolder(name);
                    });
}

void FilePaneView::askRename()
{
    const QSet<QString> selection = m_local ? m_model.localSelection() : m_model.remoteSelection();
    if (selection.size() != 1)
        return;
    TextPrompt::ask(this, {"rename", "new_name", "rename", {}, RemotePath::isValidName}, *selection.cbegin(),
                    [this, local = m_local](const QString& name) { m_model.renameSelection(local, name); });
}

void FilePaneView::askGoTo()
{
    const QString place = m_local ? m_model.localURL() : m_model.remotePath();
    TextPrompt::ask(
        this, {"go_folder", "absolute_path", "open", {}, {}}, place, [this, local = m_local](const QString& path) {
            local ? m_model.openLocal(QDir::cleanPath(QDir::fromNativeSeparators(path))) : m_model.browse(path);
        });
}

void FilePaneView::askPermissions()
{
    TextPrompt::ask(this, {"remote_permissions", "mode_example", "apply", {}, {}}, {},
                    [this](const QString& mode) { m_model.changePermissions(mode); });
}

void FilePaneView::retranslate()
{
    for (const LabelledAction& command : std::as_const(m_commands))
        command.action->setText(L(command.key));
    for (const auto& [button, key] : std::as_const(m_iconButtons))
        DisplayText::setIconButtonText(button, L(key));
    DisplayText::setIconButtonText(m_fileActions, L("file_actions"));
    m_title->setText(m_local ? L("this_mac") : L("ftp_server"));
    m_search->setPlaceholderText(L("filter_files"));
    m_search->setAccessibleName(L("filter_files"));
    m_table->setAccessibleName(m_local ? L("this_mac") : L("ftp_server"));
    m_transferButton->setText(m_local ? L("upload") : L("download"));
    showCount();
}
