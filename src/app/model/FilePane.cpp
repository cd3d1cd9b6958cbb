#include "FilePane.h"

#include "RemotePath.h"

FilePane::FilePane(Commands commands, QObject* parent) : QObject(parent), m_commands(commands)
{
    m_visible.setSourceModel(&m_files);
}

void FilePane::setEntries(QList<FileEntry> entries)
{
    m_files.setEntries(std::move(entries));
    Q_EMIT filesChanged();
}

void FilePane::setListing(FileListModel::Listing listing)
{
    m_files.setListing(std::move(listing));
    Q_EMIT filesChanged();
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
    Q_EMIT selectionChanged();
}

void FilePane::setSearch(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    m_visible.setSearch(text);
    Q_EMIT searchChanged();
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

bool FilePane::holdsFolder(const QString& name) const
{
    for (const FileEntry& entry : m_files.entries())
        if (entry.name == name)
            return entry.isDirectory;
    return false;
}

void FilePane::createFolder(const QString& name)
{
    if (RemotePath::isValidName(name) && can(m_commands.newFolder))
        makeFolder(name);
}

void FilePane::rename(const QString& newName)
{
    if (RemotePath::isValidName(newName) && can(m_commands.rename))
        renameSelected(newName);
}

void FilePane::deleteSelection()
{
    if (can(m_commands.remove))
        removeSelection();
}

void FilePane::transfer(const QString& into)
{
    if (m_links.transfer)
        m_links.transfer(into);
}

void FilePane::changePermissions(const QString& mode)
{
    if (can(m_commands.permissions))
        applyPermissions(mode);
}

void FilePane::editSelection()
{
    if (m_links.edit)
        m_links.edit();
}

bool FilePane::receiveFiles(const QStringList& paths, const QString& into)
{
    return m_links.receiveFiles && m_links.receiveFiles(paths, into);
}
