#pragma once

#include "CommandRules.h"
#include "FileEntry.h"
#include "FileFilterModel.h"
#include "FileListModel.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// One pane as the window sees it, the same for this computer's and the server's: the entries of
// its folder, the selection (entry names, not paths), the search text and the pane's commands.
// Each pane's part implements the commands on its own side; whether a command is available is
// the model's rule, which the owner installs, and a command the rule refuses does nothing.
class FilePane : public QObject {
    Q_OBJECT

public:
    // The window's commands as this pane offers them; the optional ones only some pane has.
    struct Commands {
        Command up;
        Command refresh;
        Command newFolder;
        Command openFolder;
        Command goTo;
        Command rename;
        Command remove;
        // Sends the selection to the other pane's folder.
        Command transfer;
        std::optional<Command> chooseFolder;
        std::optional<Command> showInFileManager;
        std::optional<Command> edit;
        std::optional<Command> permissions;
    };
    // What the pane asks of its owner, since it reaches beyond the pane. `into` names a folder
    // of the receiving pane's folder; empty for the folder itself.
    struct Links {
        std::function<bool(Command)> rule;
        std::function<void(const QString& into)> transfer;
        std::function<void()> edit;
        // Files of this computer dropped on the pane; false when refused.
        std::function<bool(const QStringList& paths, const QString& into)> receiveFiles;
    };

    explicit FilePane(Commands commands, QObject* parent = nullptr);

    const QList<FileEntry>& entries() const { return m_files.entries(); }
    // A new listing; the selection is left to the caller.
    void setEntries(QList<FileEntry> entries);
    void setListing(FileListModel::Listing listing);
    // Makes a listing ready to show, on any thread, for the table's language and order of now.
    std::function<FileListModel::Listing(QList<FileEntry>)> preparer() const;
    // Deselects the names the listing no longer holds.
    void dropVanishedSelection();
    const QSet<QString>& selection() const { return m_selection; }
    void setSelection(QSet<QString> names);
    const QString& search() const { return m_search; }
    void setSearch(const QString& text);
    void setShowHidden(bool show) { m_visible.setShowHidden(show); }

    // The selected entries, in listing order.
    QList<FileEntry> selectedEntries() const;
    // The entry when exactly one is selected.
    std::optional<FileEntry> singleSelection() const;
    bool contains(const QString& name) const;
    // The listing holds a folder of that name (a link to one is not known to be one).
    bool holdsFolder(const QString& name) const;

    FileListModel& files() { return m_files; }
    FileFilterModel& visibleFiles() { return m_visible; }

    const Commands& commands() const { return m_commands; }
    void setLinks(Links links) { m_links = std::move(links); }
    // Whether the command is available now; every command without a rule is.
    bool can(Command command) const { return !m_links.rule || m_links.rule(command); }
    bool can(const std::optional<Command>& command) const { return command && can(*command); }
    // The owner saw an answer of the rule change.
    void announceCommands() { Q_EMIT commandsChanged(); }
    // The pane takes files of this computer dropped on it.
    bool receivesFiles() const { return bool(m_links.receiveFiles); }

    // The folder shown, written as the person reads and types it.
    virtual QString place() const = 0;
    // Lists the folder again.
    virtual void refresh() = 0;
    // Opens the folder above, selecting the one left.
    virtual void goUp() = 0;
    // Opens a folder written as place() writes it.
    virtual void goTo(const QString& folder) = 0;
    // Enters the single selected folder.
    virtual void openSelection() = 0;
    virtual void chooseFolder() {}
    virtual void showSelectionInFileManager() {}

    // The commands that change files, each done only when the rule allows it and the name is
    // usable as a file name.
    void createFolder(const QString& name);
    // Renames the single selected item; an item already called `newName` is never replaced.
    void rename(const QString& newName);
    // Removes the selected items after the person confirms.
    void deleteSelection();
    // Transfers the selection into the other pane's folder, or into its folder `into`.
    void transfer(const QString& into = {});
    void editSelection();
    // `mode` is passed to the server as typed; the engine checks it.
    void changePermissions(const QString& mode);
    // False, with nothing done, when the pane takes no files or refuses these.
    bool receiveFiles(const QStringList& paths, const QString& into = {});

Q_SIGNALS:
    void placeChanged();
    void filesChanged();
    void selectionChanged();
    void searchChanged();
    void commandsChanged();

protected:
    virtual void makeFolder(const QString& name) = 0;
    virtual void renameSelected(const QString& newName) = 0;
    virtual void removeSelection() = 0;
    virtual void applyPermissions(const QString& mode) { Q_UNUSED(mode) }

private:
    Commands m_commands;
    Links m_links;
    FileListModel m_files;
    FileFilterModel m_visible;
    QSet<QString> m_selection;
    QString m_search;
};
