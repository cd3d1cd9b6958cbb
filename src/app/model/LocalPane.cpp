#include "LocalPane.h"

#include "AppModel.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "Prompter.h"
#include "RemotePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void fail(const QString& path, int error)
{
    throw std::filesystem::filesystem_error(std::generic_category().message(error),
                                            QFile::encodeName(path).toStdString(),
                                            std::error_code(error, std::generic_category()));
}

// A rename that never replaces what is already at `to`: the file system refuses it atomically
// where it can, and an existing target is refused beforehand where it cannot.
void renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        fail(to, errno);
    struct stat existing {};
    if (::lstat(target.constData(), &existing) == 0)
        fail(to, EEXIST);
    if (::rename(source.constData(), target.constData()) != 0)
        fail(to, errno);
}

QString downloadsFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty() && QFileInfo(downloads).isDir())
        return downloads;
    return QDir::homePath();
}

} // namespace

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
            fail(path(name), errno);
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
        renameWithoutReplacing(path(*selection.cbegin()), path(newName));
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
                               L("trash_question", QString::number(items.size())),
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
