#include "RemoteEditing.h"

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

RemoteEditing::RemoteEditing(const PartContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_task(context.pool), m_scanTask(context.pool)
{
    acceptPostedWork(*this);
    m_timer.setInterval(scanInterval);
    connect(&m_timer, &QTimer::timeout, this, &RemoteEditing::scan);
    connect(&m_task, &TaskSlot::runningChanged, this, [this] {
        if (!m_task.running())
            m_uploading.reset();
        Q_EMIT busyChanged();
    });
}

void RemoteEditing::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    Q_EMIT shownChanged();
}

void RemoteEditing::shutDown()
{
    m_quitting = true;
    m_timer.stop();
}

void RemoteEditing::load()
{
    try {
        m_list.setEdits(RemoteEditStore::load());
    } catch (...) {
        m_list.setEdits({});
        m_context.report(std::current_exception());
    }
    Q_EMIT editsChanged();
}

void RemoteEditing::store(const std::function<QString()>& change)
{
    try {
        m_context.reportKept(RemoteEditStore::file(), change());
    } catch (...) {
        m_context.report(std::current_exception());
    }
}

void RemoteEditing::edit(const FTPClient& client, const FileEntry& entry, const QString& folder)
{
    if (entry.isDirectory)
        return;
    if (!RemoteEdit::mayTake(entry))
        return m_context.report(L("edit_size_limit"), false);
    const QString path = RemotePath::joining(folder, entry.name);
    for (const RemoteEdit& edit : m_list.edits())
        if (edit.profile == client.profile() && edit.remotePath == path)
            return open(edit.id);

    m_task.start<RemoteEditJobs::Copy>(
        [client, path, name = entry.name](std::stop_token token) {
            return RemoteEditJobs::download(client, path, name, token);
        },
        [this, profile = client.profile(), path](TaskOutcome<RemoteEditJobs::Copy> outcome) {
            // A copy that arrived is kept even when nobody waits for it any more.
            RemoteEdit edit;
            if (const std::optional<RemoteEditJobs::Copy>& copy = outcome.value) {
                edit = {QUuid::createUuid(), profile,    path, QUrl::fromLocalFile(copy->file),
                        copy->hash,          copy->hash, false};
                m_list.append(edit);
                Q_EMIT editsChanged();
                store([&edit] { return RemoteEditStore::put(edit); });
            }
            if (!outcome.current)
                return;
            if (!outcome.value)
                return m_context.report(outcome.error);
            setShown(true);
            open(edit.id);
        },
        TaskSlot::Late::deliver);
}

void RemoteEditing::open(const QUuid& id)
{
    const std::optional<int> row = m_list.row(id);
    if (!row)
        return;
    const QString file = RemoteEditListModel::localPath(m_list.edits().at(*row));
    onAnswer(m_context.prompter.chooseApplication(file, DesktopServices::applicationsFor(file)), this,
             std::optional<QString>(), [this, file](const std::optional<QString>& application) {
                 if (!application)
                     return;
                 try {
                     DesktopServices::launch(*application, file);
                 } catch (...) {
                     m_context.report(std::current_exception());
                 }
             });
}

void RemoteEditing::scan()
{
    if (m_scanTask.running() || m_list.edits().isEmpty())
        return;
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
                Q_EMIT editsChanged();
        });
}

void RemoteEditing::upload(const QUuid& id, const std::optional<FTPClient>& live, bool free)
{
    const std::optional<int> row = m_list.row(id);
    if (!row)
        return;
    const RemoteEdit edit = m_list.edits().at(*row);
    if (!live || live->profile() != edit.profile || !free)
        return m_context.report(L("queue_reconnect"), false);

    const QString name = RemoteEditListModel::name(edit);
    Prompter& prompter = m_context.prompter;
    // Set on the worker before the server's file is written over in place, which a cancellation
    // may then leave cut.
    const auto writingDirectly = std::make_shared<std::atomic_bool>(false);
    const auto directWrite = [this, name, writingDirectly] {
        writingDirectly->store(true);
        postTo(*this, [this, name] { m_context.record(L("edit_direct_write", name)); });
    };
    m_task.start<RemoteEditJobs::Upload>(
        [this, edit, client = *live, name, &prompter, directWrite](std::stop_token token) {
            const auto confirm = [this, &prompter, &name, token](bool remoteChanged) {
                const PromptAlert question{PromptAlert::Style::warning,
                                           L("upload_edit"),
                                           name + u'\n' +
                                               L(remoteChanged ? "remote_edit_conflict" : "upload_edit_confirm"),
                                           {L("cancel"), L("overwrite")}};
                return askOnMainThread<int>(
                           *this, [&prompter, question] { return prompter.alert(question); }, -1, token) == 1;
            };
            return RemoteEditJobs::upload(edit, client, confirm, directWrite, token);
        },
        [this, id, name, profileID = edit.profile.id, writingDirectly](TaskOutcome<RemoteEditJobs::Upload> outcome) {
            // What reached the server is on record, even when nobody waits for it any more.
            if (outcome.value && outcome.value->uploaded) {
                if (const std::optional<int> at = m_list.row(id)) {
                    RemoteEdit saved = m_list.edits().at(*at);
                    saved.originalHash = saved.uploadedHash = outcome.value->snapshotHash;
                    saved.changed = outcome.value->changedSince;
                    m_list.replace(*at, saved);
                    Q_EMIT editsChanged();
                    store([&saved] { return RemoteEditStore::put(saved); });
                }
                m_context.record(L("file_done", name));
            } else if (outcome.cancelled()) {
                reportCancelled(name, writingDirectly->load());
            }
            if (!outcome.current)
                return;
            if (!outcome.value)
                return m_context.report(outcome.error);
            if (outcome.value->uploaded)
                Q_EMIT uploaded(profileID);
        },
        TaskSlot::Late::deliver);
    m_uploading = name;
}

void RemoteEditing::reportCancelled(const QString& name, bool writingDirectly)
{
    const QString line =
        L("file_cancelled", name) + u". "_s + L(writingDirectly ? "partial_upload" : "edit_server_unchanged");
    if (m_quitting)
        return m_context.record(line);
    m_context.report(line);
}

void RemoteEditing::forget(const QUuid& id)
{
    if (!m_list.row(id))
        return;
    m_list.remove(id);
    Q_EMIT editsChanged();
    store([&id] { return RemoteEditStore::remove(id); });
}

std::optional<QString> RemoteEditing::localPath(const QUuid& id) const
{
    if (const std::optional<int> row = m_list.row(id))
        return RemoteEditListModel::localPath(m_list.edits().at(*row));
    return std::nullopt;
}
