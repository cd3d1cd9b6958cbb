#include "FilePaneView.h"

#include "DisplayText.h"
#include "FileFilterModel.h"
#include "FileListModel.h"
#include "FilePane.h"
#include "FilterField.h"
#include "Icons.h"
#include "L10n.h"
#include "PaneDrag.h"
#include "PathLabel.h"
#include "RemotePath.h"
#include "TextPrompt.h"

#include <QAction>
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

const FilePaneView::Look FilePaneView::thisComputer{
    "this_mac", "laptopcomputer", "new_local_folder", "trash_action", "menu_upload", "arrow.right", "upload"};
const FilePaneView::Look FilePaneView::server{"ftp_server",    "server.rack", "new_remote_folder", "delete_remote",
                                              "menu_download", "arrow.left",  "download"};

FilePaneView::FilePaneView(FilePane& pane, FilePane& partner, const Look& look, QWidget* emptyPage, QWidget* parent)
    : Retranslating(parent), m_pane(pane), m_partner(partner), m_look(look), m_emptyPage(emptyPage)
{
    makeCommands();
    m_pages = new QStackedWidget;
    m_pages->addWidget(makeTable());
    if (m_emptyPage)
        m_pages->addWidget(m_emptyPage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeHeader());
    layout->addWidget(m_search);
    layout->addWidget(m_pages, 1);
    layout->addWidget(makeFooter());

    FileFilterModel* visible = &m_pane.visibleFiles();
    connect(visible, &QAbstractItemModel::modelReset, this, &FilePaneView::showSelection);
    // A filter that hides a selected entry deselects it: what the pane does not show is not acted on.
    connect(visible, &QAbstractItemModel::layoutChanged, this, &FilePaneView::takeSelection);
    connect(visible, &QAbstractItemModel::layoutChanged, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::modelReset, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::rowsInserted, this, &FilePaneView::showCount);
    connect(visible, &QAbstractItemModel::rowsRemoved, this, &FilePaneView::showCount);
    connect(&m_pane, &FilePane::selectionChanged, this, &FilePaneView::showSelection);
    connect(&m_pane, &FilePane::searchChanged, this, [this] {
        if (m_search->text() != m_pane.search())
            m_search->setText(m_pane.search());
    });
    connect(&m_pane, &FilePane::placeChanged, this, &FilePaneView::showPlace);
    connect(&m_pane, &FilePane::commandsChanged, this, &FilePaneView::updateCommands);
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
    const FilePane::Commands& offered = m_pane.commands();
    m_up = addCommand("go_up", "arrow.up", {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::Key_Backspace)});
    // F5 belongs to the window: it refreshes both panes.
    m_refresh = addCommand("refresh", "arrow.clockwise");
    m_newFolder = addCommand(m_look.newFolder, "folder.badge.plus",
                             {QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
    m_openFolder = addCommand("open_folder", nullptr);
    m_goFolder = addCommand("go_folder", nullptr, {QKeySequence(Qt::CTRL | Qt::Key_L)});
    m_rename = addCommand("rename", nullptr, {QKeySequence(Qt::Key_F2)});
    m_delete = addCommand(m_look.remove, nullptr, {QKeySequence(QKeySequence::Delete)});
    m_transfer = addCommand(m_look.transfer, m_look.transferSymbol);
    connect(m_up, &QAction::triggered, &m_pane, &FilePane::goUp);
    connect(m_refresh, &QAction::triggered, &m_pane, &FilePane::refresh);
    connect(m_newFolder, &QAction::triggered, this, &FilePaneView::askNewFolder);
    connect(m_openFolder, &QAction::triggered, &m_pane, &FilePane::openSelection);
    connect(m_goFolder, &QAction::triggered, this, &FilePaneView::askGoTo);
    connect(m_rename, &QAction::triggered, this, &FilePaneView::askRename);
    connect(m_delete, &QAction::triggered, &m_pane, &FilePane::deleteSelection);
    connect(m_transfer, &QAction::triggered, this, [this] { m_pane.transfer(); });
    if (offered.chooseFolder) {
        m_chooseFolder = addCommand("choose_folder", "folder");
        connect(m_chooseFolder, &QAction::triggered, &m_pane, &FilePane::chooseFolder);
    }
    if (offered.showInFileManager) {
        m_showInFileManager = addCommand("show_finder", nullptr);
        connect(m_showInFileManager, &QAction::triggered, &m_pane, &FilePane::showSelectionInFileManager);
    }
    if (offered.edit) {
        m_editRemote = addCommand("edit_remote", nullptr);
        connect(m_editRemote, &QAction::triggered, &m_pane, &FilePane::editSelection);
    }
    if (offered.permissions) {
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
    icon->setPixmap(Icons::icon(QString::fromLatin1(m_look.symbol)).pixmap(20));
    m_title = DisplayText::emphasised(new QLabel);
    m_place = new PathLabel;

    auto* menu = new QMenu(this);
    menu->addAction(m_goFolder);
    menu->addAction(m_rename);
    for (QAction* action : {m_editRemote, m_permissions})
        if (action)
            menu->addAction(action);
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
    connect(m_search, &QLineEdit::textEdited, this, [this](const QString& text) { m_pane.setSearch(text); });
    return header;
}

QWidget* FilePaneView::makeTable()
{
    m_table = new FileTableView;
    // Read before the table is given the rows, as the table sorts them by its own heading then.
    const FileSortComparator order = m_pane.files().sortOrder();
    m_table->setModel(&m_pane.visibleFiles());
    m_table->sortByColumn(int(order.field), order.order);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(FileListModel::nameColumn, QHeaderView::Stretch);
    header->resizeSection(FileListModel::sizeColumn, 80);
    header->resizeSection(FileListModel::modifiedColumn, 155);
    m_table->setMinimumWidth(130 + 65 + 125);
    m_table->dragRows([this] { return PaneDrag::rows(m_pane); });
    m_table->acceptDrops([this](const QMimeData* carried, const QModelIndex& under) { return dropOf(carried, under); });
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
    m_pane.setSelection(names);
}

// The model's selection, as the view shows it; after a new listing the view has none of its own.
void FilePaneView::showSelection()
{
    const QSet<QString> names = m_pane.selection();
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
    m_place->setPath(m_pane.place());
}

void FilePaneView::showCount()
{
    m_count->setText(L("item_count", L10n::locale().toString(m_table->model()->rowCount())));
}

void FilePaneView::updateCommands()
{
    const FilePane::Commands& command = m_pane.commands();
    const bool reachable = m_pane.can(command.refresh);
    m_refresh->setEnabled(reachable);
    // The optional actions exist only on the pane that offers them.
    const std::pair<QAction*, std::optional<Command>> actions[] = {{m_up, command.up},
                                                                   {m_newFolder, command.newFolder},
                                                                   {m_openFolder, command.openFolder},
                                                                   {m_goFolder, command.goTo},
                                                                   {m_rename, command.rename},
                                                                   {m_delete, command.remove},
                                                                   {m_transfer, command.transfer},
                                                                   {m_chooseFolder, command.chooseFolder},
                                                                   {m_editRemote, command.edit},
                                                                   {m_permissions, command.permissions},
                                                                   {m_showInFileManager, command.showInFileManager}};
    for (const auto& [action, available] : actions)
        if (action)
            action->setEnabled(m_pane.can(available));
    m_fileActions->setEnabled(reachable);
    m_search->setEnabled(reachable);
    if (m_emptyPage)
        m_pages->setCurrentWidget(reachable ? static_cast<QWidget*>(m_table) : m_emptyPage);
}

QList<QAction*> FilePaneView::contextActions(const QPoint& position)
{
    if (!m_table->indexAt(position).isValid()) {
        m_pane.setSelection({});
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

// Rows of the other pane, or files of this computer from another program when this pane takes
// them; never rows of this pane.
std::optional<FileTableView::Drop> FilePaneView::dropOf(const QMimeData* carried, const QModelIndex& under)
{
    const QString folder = under.isValid() && under.data(FileListModel::IsDirectoryRole).toBool()
                               ? under.data(FileListModel::NameRole).toString()
                               : QString();
    const QPersistentModelIndex into = folder.isEmpty() ? QModelIndex() : under;
    if (PaneDrag::carriesSelectionOf(carried, m_partner)) {
        if (!m_partner.can(m_partner.commands().transfer))
            return std::nullopt;
        return FileTableView::Drop{[this, folder] {
                                       m_partner.transfer(folder);
                                       return true;
                                   },
                                   into};
    }
    const QStringList paths = PaneDrag::localFiles(carried);
    if (!m_pane.receivesFiles() || paths.isEmpty())
        return std::nullopt;
    return FileTableView::Drop{[this, paths, folder] { return m_pane.receiveFiles(paths, folder); }, into};
}

void FilePaneView::askNewFolder()
{
    TextPrompt::ask(this,
                    {m_look.newFolder, "folder_name", "create",
                     [this] { return L("folder_destination", m_pane.place()); }, RemotePath::isValidName},
                    {}, [this](const QString& name) { m_pane.createFolder(name); });
}

void FilePaneView::askRename()
{
    const QSet<QString>& selection = m_pane.selection();
    if (selection.size() != 1)
        return;
    TextPrompt::ask(this, {"rename", "new_name", "rename", {}, RemotePath::isValidName}, *selection.cbegin(),
                    [this](const QString& name) { m_pane.rename(name); });
}

void FilePaneView::askGoTo()
{
    TextPrompt::ask(this, {"go_folder", "absolute_path", "open", {}, {}}, m_pane.place(),
                    [this](const QString& path) { m_pane.goTo(path); });
}

void FilePaneView::askPermissions()
{
    TextPrompt::ask(this, {"remote_permissions", "mode_example", "apply", {}, {}}, {},
                    [this](const QString& mode) { m_pane.changePermissions(mode); });
}

void FilePaneView::retranslate()
{
    for (const LabelledAction& command : std::as_const(m_commands))
        command.action->setText(L(command.key));
    for (const auto& [button, key] : std::as_const(m_iconButtons))
        DisplayText::setIconButtonText(button, L(key));
    DisplayText::setIconButtonText(m_fileActions, L("file_actions"));
    m_title->setText(L(m_look.title));
    m_search->setPlaceholderText(L("filter_files"));
    m_search->setAccessibleName(L("filter_files"));
    m_table->setAccessibleName(L(m_look.title));
    m_transferButton->setText(L(m_look.transferButton));
    showCount();
}
