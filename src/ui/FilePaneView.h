#pragma once

#include "Retranslating.h"

#include "FileTableView.h"

#include <QList>
#include <QWidget>
#include <optional>

class FilePane;
class PathLabel;
class QAction;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

// One file pane: this computer's or the server's. A header with the folder and its commands, the
// filter field, the table of the visible entries and a footer with their count and the transfer
// button. Everything it shows comes from the pane object, and every command calls one of its
// operations; a command the model would refuse is disabled. Rows of the other pane dropped here
// are transferred into this pane's folder, or into the folder row they are dropped on.
class FilePaneView : public Retranslating<QWidget> {
    Q_OBJECT

public:
    // The texts (catalogue keys) and symbols that tell the panes apart.
    struct Look {
        const char* title;
        const char* symbol;
        const char* newFolder;
        const char* remove;
        const char* transfer;
        const char* transferSymbol;
        const char* transferButton;
    };
    static const Look thisComputer;
    static const Look server;

    // `emptyPage`, when given, replaces the table while the pane cannot be listed.
    FilePaneView(FilePane& pane, FilePane& partner, const Look& look, QWidget* emptyPage = nullptr,
                 QWidget* parent = nullptr);

    // Uploads or downloads the selection ("menu_upload" or "menu_download"), as the menu bar
    // offers it too.
    QAction* transferAction() const { return m_transfer; }
    FileTableView* table() const { return m_table; }
    // The commands of the menu at a point of the table: the item commands over a row, the
    // folder's own over empty space, where the selection is given up so that no command acts on
    // rows the pointer is not on. A null entry is a separator.
    QList<QAction*> contextActions(const QPoint& position);

private:
    struct LabelledAction {
        QAction* action;
        const char* key;
    };

    QAction* addCommand(const char* key, const char* symbol, const QList<QKeySequence>& shortcuts = {});
    void makeCommands();
    QWidget* makeHeader();
    QWidget* makeTable();
    QWidget* makeFooter();
    QToolButton* iconButton(QAction* action);

    void takeSelection();
    void showSelection();
    void showPlace();
    void showCount();
    void updateCommands();
    void showContextMenu(const QPoint& position);
    std::optional<FileTableView::Drop> dropOf(const QMimeData* carried, const QModelIndex& under);
    void askNewFolder();
    void askRename();
    void askGoTo();
    void askPermissions();
    void retranslate() override;

    FilePane& m_pane;
    FilePane& m_partner;
    const Look m_look;
    QWidget* m_emptyPage = nullptr;
    QList<LabelledAction> m_commands;
    QList<std::pair<QAbstractButton*, const char*>> m_iconButtons;
    QAction* m_up = nullptr;
    QAction* m_refresh = nullptr;
    QAction* m_newFolder = nullptr;
    QAction* m_chooseFolder = nullptr;
    QAction* m_openFolder = nullptr;
    QAction* m_goFolder = nullptr;
    QAction* m_rename = nullptr;
    QAction* m_editRemote = nullptr;
    QAction* m_permissions = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_transfer = nullptr;
    QAction* m_showInFileManager = nullptr;

    QLabel* m_title = nullptr;
    PathLabel* m_place = nullptr;
    QToolButton* m_fileActions = nullptr;
    QLineEdit* m_search = nullptr;
    QStackedWidget* m_pages = nullptr;
    FileTableView* m_table = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_transferButton = nullptr;
    bool m_showingSelection = false;
};
