#include "RemoteEditing.h"

#include "AppModel.h"
#include "DesktopServices.h"
#include "L10n.h"
#include "MainThreadQuestion.h"
#include "Prompter.h"
#include "RemoteEditJobs.h"
#include "RemoteEditStore.h"
#include "RemotePath.h"
#include "ThreadHandoff.h"

#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
// The hash of each copy that could be read, by edit.
using Hashes = QList<std::pair<QUuid, QString>>;
} // namespace

RemoteEditing::RemoteEditing(AppModel& model) : m_model(model), m_scanTask(model.threadPool(), model)
{
    m_timer.setInterval(scanInterval);
    QObject::connect(&m_timer, &QTimer::timeout, &model, [this] { scan(); });
}

void RemoteEditing::announce()
{
    Q_EMIT m_model.editsChanged();
}

void RemoteEditing::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    Q_EMIT m_model.showEditsChanged();
}

void RemoteEditing::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    Q_EMIT m_model.busyChanged();
    m_model.updateWorking();
}

quint64 RemoteEditing::begin()
{
    setBusy(true);
    return ++m_task;
}

void RemoteEditing::abandon()
{
    ++m_task;
    finishUpload();
}

void RemoteEditing::load()
{
    try {
        m_list.setEdits(RemoteEditStore::load());
    } catch (...) {
        m_list.setEdits({});
        m_model.report(std::current_exception());
    }
    announce();
}

void RemoteEditing::store(const std::function<QString()>& change)
{
    try {
        m_model.reportKept(RemoteEditStore::file(), change());
    } catch (...) {
        m_model.report(std::current_exception());
    }
}

void RemoteEditing::edit()
{
    const std::optional<FTPClient>& live = m_model.client();
    const QSet<QString> selection = m_model.remoteSelection();
    if (!live || m_model.isWorking() || selection.size() != 1)
        return;
    const QList<FileEntry>& files = m_model.remoteFiles();
    const auto entry = std::find_if(files.cbegin(), files.cend(),
                                    [&](const FileEntry& file) { return file.name == *selection.cbegin(); });
    if (entry == files.cend() || entry->isDirectory)
        return;
    if (!RemoteEdit::mayTake(*entry))
        return m_model.setErrorMessage(L("edit_size_limit"));
    const QString path = RemotePath::joining(m_model.remotePath(), entry->name);
    for (const RemoteEdit& edit : m_list.edits())
        if (edit.profile == live->profile() && edit.remotePath == path)
            return open(edit.id);

    const quint64 task = begin();
    m_model.featureTask().start<RemoteEditJobs::Copy>(
        [client = *live, path, name = entry->name](std::stop_token token) {
            return RemoteEditJobs::download(client, path, name, token);
        },
        [this, task, profile = live->profile(), path](TaskOutcome<RemoteEditJobs::Copy> outcome) {
            // A copy that arrived is kept even when nobody waits for it any more.
            RemoteEdit edit;
            if (const std::optional<RemoteEditJobs::Copy>& copy = outcome.value) {
                edit = {QUuid::createUuid(), profile,    path, QUrl::fromLocalFile(copy->file),
                        copy->hash,          copy->hash, false};
                m_list.append(edit);
                announce();
                store([&edit] { return RemoteEditStore::put(edit); });
            }
            if (task != m_task)
                return;
            setBusy(false);
            if (!outcome.value)
                return m_model.report(outcome.error);
            setShown(true);
            open(edit.id);
        });
}

void RemoteEditing::open(const QUuid& id)
{
    const std::optional<int> row = m_list.row(id);
    if (!row)
        return;
    const QString file = RemoteEditListModel::localPath(m_list.edits().at(*row));
    onAnswer(m_model.prompter().chooseApplication(file, DesktopServices::applicationsFor(file)), &m_model,
             std::optional<QString>(), [this, file](const std::optional<QString>& application) {
                 if (!application)
                     return;
                 try {
                     DesktopServices::launch(*application, file);
                 } catch (...) {
                     m_model.report(std::current_exception());
                 }
             });
}

void RemoteEditing::scan()
{
    if (m_scanning || m_list.edits().isEmpty())
        return;
    m_scanning = true;
    QList<std::pair<QUuid, QString>> files;
    for (const RemoteEdit& edit : m_list.edits())
        files.append({edit.id, RemoteEditListModel::localPath(edit)});
    m_scanTask.start<Hashes>(
        [files](std::stop_token token) {
            Hashes hashes;
            for (const auto& [id, file] : files) {
                CancellationError::check(token);
                try {
                    hashes.append({id, RemoteEdit::editHash(file)});
                } catch (...) {
                }
            }
            return hashes;
        },
        [this](TaskOutcome<Hashes> outcome) {
            m_scanning = false;
            if (!outcome.value)
                return;
            bool anyChanged = false;
            // Compared with the hashes as they are now, which an upload may have moved on.
            for (const auto& [id, hash] : *outcome.value) {
                const std::optional<int> row = m_list.row(id);
                if (!row)
                    continue;
                RemoteEdit edit = m_list.edits().at(*row);
                if (edit.changed == (hash != edit.uploadedHash))
                    continue;
                edit.changed = !edit.changed;
                m_list.replace(*row, edit);
                anyChanged = true;
            }
            if (anyChanged)
                announce();
        });
}

void RemoteEditing::upload(const QUuid& id)
{
    const std::optional<int> row = m_list.row(id);
    if (!row)
        return;
    const RemoteEdit edit = m_list.edits().at(*row);
    const std::optional<FTPClient>& live = m_model.client();
    if (!live || live->profile() != edit.profile || m_model.isWorking() || m_model.pendingCount() > 0)
        return m_model.setErrorMessage(L("queue_reconnect"));

    const quint64 task = begin();
    const QString name = RemoteEditListModel::name(edit);
    m_uploading = name;
    AppModel& model = m_model;
    // Set on the worker before the server's file is written over in place, which a cancellation
    // may then leave cut.
    const auto writingDirectly = std::make_shared<std::atomic_bool>(false);
    const auto directWrite = [this, name, writingDirectly] {
        writingDirectly->store(true);
        postTo(m_model, [this, name] { m_model.record(L("edit_direct_write", name)); });
    };
    m_model.featureTask().start<RemoteEditJobs::Upload>(
        [edit, client = *live, name, &model, directWrite](std::stop_token token) {
            const auto confirm = [&model, &name, token](bool remoteChanged) {
                const PromptAlert question{PromptAlert::Style::warning,
                                           L("upload_edit"),
                                           name + u'\n' +
                                               L(remoteChanged ? "remote_edit_conflict" : "upload_edit_confirm"),
                                           {L("cancel"), L("overwrite")}};
                return askOnMainThread<int>(
                           model, [&model, question] { return model.prompter().alert(question); }, -1, token) == 1;
            };
            return RemoteEditJobs::upload(edit, client, confirm, directWrite, token);
        },
        [this, task, id, name, profile = edit.profile, writingDirectly](TaskOutcome<RemoteEditJobs::Upload> outcome) {
            // What reached the server is on record, even when nobody waits for it any more.
            if (outcome.value && outcome.value->uploaded) {
                if (const std::optional<int> currentRow = m_list.row(id)) {
                    RemoteEdit current = m_list.edits().at(*currentRow);
                    current.originalHash = current.uploadedHash = outcome.value->snapshotHash;
                    current.changed = outcome.value->changedSince;
                    m_list.replace(*currentRow, current);
                    announce();
                    store([&current] { return RemoteEditStore::put(current); });
                }
                m_model.record(L("file_done", name));
            } else if (outcome.cancelled()) {
                reportCancelled(name, writingDirectly->load());
            }
            if (task != m_task)
                return;
            finishUpload();
            if (!outcome.value)
                return m_model.report(outcome.error);
            // The pane shows the new size, as after a transfer of the queue.
            const std::optional<ServerProfile> connected = m_model.connectedProfile();
            if (outcome.value->uploaded && connected == profile && !m_model.busy())
                m_model.browse();
        });
}

void RemoteEditing::reportCancelled(const QString& name, bool writingDirectly)
{
    const QString line =
        L("file_cancelled", name) + u". "_s + L(writingDirectly ? "partial_upload" : "edit_server_unchanged");
    if (m_model.shuttingDown())
        return m_model.record(line);
    m_model.report(line);
}

void RemoteEditing::finishUpload()
{
    m_uploading.reset();
    setBusy(false);
}

void RemoteEditing::forget(const QUuid& id)
{
    if (!m_list.row(id))
        return;
    m_list.remove(id);
    announce();
    store([&id] { return RemoteEditStore::remove(id); });
}

void RemoteEditing::showInFileManager(const QUuid& id)
{
    if (const std::optional<int> row = m_list.row(id))
        m_model.showInFileManager(RemoteEditListModel::localPath(m_list.edits().at(*row)));
}
