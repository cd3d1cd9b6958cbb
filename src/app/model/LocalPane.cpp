#include "LocalPane.h"

#include "CancellationError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "LocalFolder.h"
#include "Prompter.h"
#include "RemotePath.h"
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
    : QObject(parent), m_context(context), m_url(downloadsFolder()), m_target(m_url),
      m_pane({[this] { Q_EMIT filesChanged(); }, [this] { Q_EMIT selectionChanged(); },
              [this] { Q_EMIT searchChanged(); }}),
      m_listing(context.pool)
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
    m_listing.start<FileListModel::Listing>([folder = m_target, prepare = m_pane.preparer()](
                                                std::stop_token token) { return prepare(list(folder, token)); },
                                            [this, folder = m_target](TaskOutcome<FileListModel::Listing> outcome) {
                                                if (folder != m_url) {
                                                    m_url = folder;
                                                    Q_EMIT urlChanged();
                                                }
                                                if (!outcome.value) {
                                                    m_pane.setEntries({});
                                                    return m_context.report(outcome.error);
                                                }
                                                m_pane.setListing(std::move(*outcome.value));
                                                m_pane.dropVanishedSelection();
                                            });
}

void LocalPane::open(const QString& folder)
{
    // Going up selects the folder left; the listing drops the name if it has gone.
    const QFileInfo left(m_url);
    const bool up = QDir(folder) != QDir(m_url) && left.dir() == QDir(folder);
    m_target = folder;
    m_pane.setSelection(up ? QSet<QString>{left.fileName()} : QSet<QString>{});
    m_pane.setSearch({});
    refresh();
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
    const std::optional<FileEntry> selected = m_pane.singleSelection();
    if (selected && selected->isDirectory)
        open(path(selected->name));
}

void LocalPane::createFolder(const QString& name)
{
    if (!RemotePath::isValidName(name))
        return;
    try {
        if (::mkdir(QFile::encodeName(path(name)).constData(), 0777) != 0)
            SystemCall::fail("mkdir", path(name));
    } catch (...) {
        return m_context.report(std::current_exception());
    }
    m_pane.setSelection({name});
    refresh();
}

void LocalPane::rename(const QString& newName)
{
    const QSet<QString>& selection = m_pane.selection();
    if (selection.size() != 1 || *selection.cbegin() == newName)
        return;
    try {
        LocalFolder(m_url).rename(*selection.cbegin(), newName, false);
    } catch (...) {
        return m_context.report(std::current_exception());
    }
    // The keyboard goes on from the item under its new name.
    m_pane.setSelection({newName});
    refresh();
}

void LocalPane::trashSelection()
{
    const QList<FileEntry> items = m_pane.selectedEntries();
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
