#include "LocalPane.h"

#include "AppModel.h"
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

LocalPane::LocalPane(AppModel& model)
    : m_model(model), m_url(downloadsFolder()),
      m_pane(model, {&AppModel::localFilesChanged, &AppModel::localSelectionChanged, &AppModel::localSearchChanged})
{
}

QString LocalPane::path(const QString& name) const
{
    return LocalFileSystem::joining(m_url, name);
}

void LocalPane::refresh()
{
    QList<FileEntry> entries;
    try {
        for (const LocalFileSystem::Child& child : LocalFileSystem::children(m_url)) {
            const QString name = QFile::decodeName(child.name);
            // An entry removed between the listing and this read is simply no longer there.
            if (const auto attributes = LocalFileSystem::attributesIfPresent(path(name)))
                entries.append({name, attributes->isDirectory, attributes->size, attributes->modified});
        }
    } catch (...) {
        m_pane.setEntries({});
        return m_model.report(std::current_exception());
    }
    m_pane.setEntries(FileEntry::sorted(std::move(entries)));
    m_pane.dropVanishedSelection();
}

void LocalPane::open(const QString& folder)
{
    if (folder != m_url) {
        m_url = folder;
        Q_EMIT m_model.localURLChanged();
    }
    m_pane.setSelection({});
    m_pane.setSearch({});
    refresh();
}

void LocalPane::chooseFolder()
{
    m_model.prompter().chooseFolder(m_url).then(&m_model, [this](const std::optional<QString>& folder) {
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
        return m_model.report(std::current_exception());
    }
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
        return m_model.report(std::current_exception());
    }
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
    m_model.prompter().alert(question).then(&m_model, [this, items, folder = m_url](int answer) {
        if (answer != 1)
            return;
        for (const FileEntry& item : items) {
            QFile file(LocalFileSystem::joining(folder, item.name));
            if (!file.moveToTrash()) {
                m_model.report(file.errorString() + u": "_s + item.name);
                break;
            }
        }
        refresh();
    });
}
