#pragma once

#include "FileEntry.h"
#include "FileFilterModel.h"
#include "FileListModel.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

// What both panes hold alike: the entries of their folder, the selection (entry names, not
// paths) and the search text, each change announced through the owner's notification for it.
class FilePane {
public:
    using Notify = std::function<void()>;
    struct Notifications {
        Notify files;
        Notify selection;
        Notify search;
    };

    explicit FilePane(Notifications notifications);

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

    FileListModel& files() { return m_files; }
    FileFilterModel& visibleFiles() { return m_visible; }

private:
    Notifications m_notify;
    FileListModel m_files;
    FileFilterModel m_visible;
    QSet<QString> m_selection;
    QString m_search;
};
