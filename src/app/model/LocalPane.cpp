#include "LocalPane.h"

#include "CancellationError.h"
#include "DesktopServices.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "LocalFolder.h"
#include "Prompter.h"
#include "SystemCall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

QString LocalPane::downloadsFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty() && QFileInfo(downloads).isDir())
        return downloads;
    return QDir::homePath();
}

LocalPane::LocalPane(const PartContext& context, QObject* parent)
    : FilePane({Command::localUp, Command::localRefresh, Command::localNewFolder, Command::localOpenFolder,
                Command::localGoTo, Command::localRename, Command::localDelete, Command::upload,
                Command::chooseLocalFolder, Command::showInFileManager, std::nullopt, std::nullopt},
               parent),
      m_context(context), m_url(downloadsFolder()), m_target(m_url), m_listing(context.pool)
{
}

QString LocalPane::path(const QString& name) const
{
    return LocalFileSystem::joining(m_url, name);
}

QList<FileEntry> LocalPane::list(const QString& folder, std::stop_token token)
{
    QList<FileEntry> entries;
    for (const LocalFileSystem::Child& child : LocalFileSystem::children(folder)) {
        CancellationError::check(token);
        const QString name = QFile::decodeName(child.name);
        // An entry removed between the listing and this read is simply no longer there.
        if (const auto attributes = LocalFileSystem::attributesIfPresent(LocalFileSystem::joining(folder, name)))
            entries.append({name, attributes->isDirectory, attributes->size, attributes->modified});
    }
    return FileEntry::sorted(std::move(entries));
}

void LocalPane::refresh()
{
    m_listing.start<FileListModel::Listing>(
        [folder = m_target, prepare = preparer()](std::stop_token token) { return prepare(list(folder, token)); },
        [this, folder = m_target](TaskOutcome<FileListModel::Listing> outcome) {
            if (folder != m_url) {
                m_url = folder;
                Q_EMIT placeChanged();
            }
            if (!outcome.value) {
                setEntries({});
                return m_context.report(outcome.error);
            }
            setListing(std::move(*outcome.value));
            dropVanishedSelection();
        });
}

void LocalPane::open(const QString& folder)
{
    // Going up selects the folder left; the listing drops the name if it has gone.
    const QFileInfo left(m_url);
    const bool up = QDir(folder) != QDir(m_url) && left.dir() == QDir(folder);
    m_target = folder;
    setSelection(up ? QSet<QString>{left.fileName()} : QSet<QString>{});
    setSearch({});
    refresh();
}

QString LocalPane::place() const
{
    return QDir::toNativeSeparators(m_url);
}

void LocalPane::goUp()
{
    open(QFileInfo(m_url).dir().absolutePath());
}

void LocalPane::goTo(const QString& folder)
{
    open(QDir::cleanPath(QDir::fromNativeSeparators(folder)));
}

void LocalPane::chooseFolder()
{
    m_context.prompter.chooseFolder(m_url).then(this, [this](const std::optional<QString>& folder) {
        if (folder)
            open(*folder);
    });
}

void LocalPane::openSelection()
{
    const std::optional<FileEntry> selected = singleSelection();
    if (selected && selected->isDirectory)
        open(path(selected->name));
}

void LocalPane::showSelectionInFileManager()
{
    if (const std::optional<FileEntry> selected = singleSelection())
        showInFileManager(path(selected->name));
}

void LocalPane::showInFileManager(const QString& item)
{
    DesktopServices::showInFileManager(item).onFailed(
        this, [this](const FTPError& error) { m_context.report(error.errorDescription()); });
}

void LocalPane::makeFolder(const QString& name)
{
    try {
        if (::mkdir(QFile::encodeName(path(name)).constData(), 0777) != 0)
            SystemCall::fail("mkdir", path(name));
    } catch (...) {
        return m_context.report(std::current_exception());
    }
    setSelection({name});
    refresh();
}

void LocalPane::renameSelected(const QString& newName)
{
    const QSet<QString>& selected = selection();
    if (selected.size() != 1 || *selected.cbegin() == newName)
        return;
    try {
        LocalFolder(m_url).rename(*selected.cbegin(), newName, false);
    } catch (...) {
        return m_context.report(std::current_exception());
    }
    // The keyboard goes on from the item under its new name.
    setSelection({newName});
    refresh();
}

void LocalPane::removeSelection()
{
    const QList<FileEntry> items = selectedEntries();
    if (items.isEmpty())
        return;
    const PromptAlert question{PromptAlert::Style::warning,
                               L10n::plural(u"trash_question"_s, items.size()),
                               L("trash_hint"),
                               {L("cancel"), L("trash_action")}};
    m_context.prompter.alert(question).then(this, [this, items, folder = m_url](int answer) {
        if (answer != 1)
            return;
        for (const FileEntry& item : items) {
            QFile file(LocalFileSystem::joining(folder, item.name));
            if (!file.moveToTrash()) {
                m_context.report(file.errorString() + u": "_s + item.name);
                break;
            }
        }
        refresh();
    });
}
