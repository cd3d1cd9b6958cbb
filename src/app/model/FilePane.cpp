#include "FilePane.h"

FilePane::FilePane(Notifications notifications) : m_notify(std::move(notifications))
{
    m_visible.setSourceModel(&m_files);
}

void FilePane::setEntries(QList<FileEntry> entries)
{
    m_files.setEntries(std::move(entries));
    m_notify.files();
}

void FilePane::setListing(FileListModel::Listing listing)
{
    m_files.setListing(std::move(listing));
    m_notify.files();
}

std::function<FileListModel::Listing(QList<FileEntry>)> FilePane::preparer() const
{
    return [locale = m_files.sortLocale(), order = m_files.sortOrder()](QList<FileEntry> entries) {
        return FileListModel::prepare(std::move(entries), locale, order);
    };
}

void FilePane::dropVanishedSelection()
{
    QSet<QString> kept;
    for (const FileEntry& entry : m_files.entries())
        if (m_selection.contains(entry.name))
            kept.insert(entry.name);
    setSelection(std::move(kept));
}

void FilePane::setSelection(QSet<QString> names)
{
    if (names == m_selection)
        return;
    m_selection = std::move(names);
    m_notify.selection();
}

void FilePane::setSearch(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    m_visible.setSearch(text);
    m_notify.search();
}

QList<FileEntry> FilePane::selectedEntries() const
{
    QList<FileEntry> selected;
    for (const FileEntry& entry : m_files.entries())
        if (m_selection.contains(entry.name))
            selected.append(entry);
    return selected;
}

std::optional<FileEntry> FilePane::singleSelection() const
{
    if (m_selection.size() != 1)
        return std::nullopt;
    for (const FileEntry& entry : m_files.entries())
        if (entry.name == *m_selection.cbegin())
            return entry;
    return std::nullopt;
}

bool FilePane::contains(const QString& name) const
{
    for (const FileEntry& entry : m_files.entries())
        if (entry.name == name)
            return true;
    return false;
}
