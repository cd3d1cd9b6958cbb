#include "RemoteSession.h"

#include "AppModel.h"
#include "L10n.h"
#include "Prompter.h"
#include "RemotePath.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
using Listing = QList<FileEntry>;
// What a task without a result of its own returns.
struct Done {};
} // namespace

RemoteSession::RemoteSession(AppModel& model)
    : m_model(model), m_path(u"/"_s),
      m_pane(model, {&AppModel::remoteFilesChanged, &AppModel::remoteSelectionChanged, &AppModel::remoteSearchChanged}),
      m_browseTask(model.threadPool(), model)
{
}

QUuid RemoteSession::replaceToken()
{
    m_browseID = QUuid::createUuid();
    return m_browseID;
}

void RemoteSession::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    Q_EMIT m_model.busyChanged();
    m_model.updateWorking();
}

template <typename Result> bool RemoteSession::settle(const QUuid& token, const TaskOutcome<Result>& outcome)
{
    if (token != m_browseID)
        return false;
    setBusy(false);
    if (outcome.value && !outcome.stopped)
        return true;
    m_model.report(outcome.error);
    return false;
}

void RemoteSession::connect(const ServerProfile& profile, const QString& password,
                            const std::optional<ServerLink>& link)
{
    const FTPClient client(profile, password);
    setBusy(true);
    const QUuid token = replaceToken();
    m_model.record(L("connecting_to", profile.host + u':' + QString::number(profile.port)));
    // The listing of a link's folder is what shows whether the link names a file or a folder.
    const QString listed = link ? link->folder() : profile.initialPath;
    m_browseTask.start<Listing>([client, listed](std::stop_token stop) { return client.list(listed, stop); },
                                [this, client, token, listed, link](TaskOutcome<Listing> outcome) {
                                    if (settle(token, outcome))
                                        adopt(client, listed, std::move(*outcome.value), link);
                                });
}

void RemoteSession::adopt(const FTPClient& client, const QString& folder, QList<FileEntry> entries,
                          const std::optional<ServerLink>& link)
{
    m_client = client;
    m_connectedProfile = client.profile();
    Q_EMIT m_model.connectedProfileChanged();
    m_path = folder;
    Q_EMIT m_model.remotePathChanged();
    m_pane.setEntries(std::move(entries));
    m_model.record(L("connected_to", client.profile().name, FTPProtocols::label(client.profile().protocolType)));
    if (link && !link->namesFolder)
        land(*link);
}

void RemoteSession::land(const ServerLink& link)
{
    const QString name = RemotePath::lastComponent(link.path);
    const QList<FileEntry>& entries = m_pane.entries();
    const auto entry =
        std::find_if(entries.cbegin(), entries.cend(), [&name](const FileEntry& one) { return one.name == name; });
    // A name the folder does not hold is browsed all the same, so that the server says why.
    if (entry == entries.cend() || entry->isDirectory)
        return browse(link.path);
    m_pane.setSelection({name});
}

void RemoteSession::disconnect()
{
    replaceToken();
    m_browseTask.cancel();
    const bool wasConnected = m_connectedProfile.has_value();
    m_client.reset();
    m_connectedProfile.reset();
    if (wasConnected)
        Q_EMIT m_model.connectedProfileChanged();
    m_pane.setEntries({});
    m_pane.setSelection({});
    if (m_path != u"/"_s) {
        m_path = u"/"_s;
        Q_EMIT m_model.remotePathChanged();
    }
    setBusy(false);
}

void RemoteSession::browse(const std::optional<QString>& path)
{
    if (m_client)
        show(path.value_or(m_path), false);
}

void RemoteSession::show(const QString& target, bool throughLink)
{
    const QUuid token = replaceToken();
    setBusy(true);
    m_browseTask.start<Listing>(
        [client = *m_client, target](std::stop_token stop) { return client.list(target, stop); },
        [this, target, token, throughLink](TaskOutcome<Listing> outcome) {
            // A link that does not list is taken for a file, and opening a file shows nothing.
            if (throughLink && !outcome.value && token == m_browseID)
                return setBusy(false);
            if (!settle(token, outcome))
                return;
            if (throughLink)
                m_pane.setSearch({});
            if (target != m_path) {
                m_path = target;
                Q_EMIT m_model.remotePathChanged();
            }
            m_pane.setEntries(std::move(*outcome.value));
            m_pane.setSelection({});
        });
}

void RemoteSession::openSelection()
{
    const std::optional<FileEntry> selected = m_pane.singleSelection();
    if (!m_client || !selected || !(selected->isDirectory || selected->isSymbolicLink))
        return;
    if (selected->isDirectory)
        m_pane.setSearch({});
    // Listings never call a link a folder; trying it as one is the only way to know.
    show(RemotePath::joining(m_path, selected->name), selected->isSymbolicLink);
}

void RemoteSession::createFolder(const QString& name)
{
    if (!RemotePath::isValidName(name) || !m_client || m_busy)
        return;
    const QString path = RemotePath::joining(m_path, name);
    const QUuid token = replaceToken();
    setBusy(true);
    m_browseTask.start<Done>(
        [client = *m_client, path](std::stop_token stop) {
            client.createDirectory(path, stop);
            return Done{};
        },
        [this, path, token](TaskOutcome<Done> outcome) {
            if (!settle(token, outcome))
                return;
            m_model.record(L("folder_created", path));
            browse(std::nullopt);
        });
}

void RemoteSession::performRemote(Operation operation, const QString& done)
{
    if (!m_client || m_model.isWorking())
        return;
    setBusy(true);
    const QUuid token = replaceToken();
    m_browseTask.start<Done>(
        [client = *m_client, operation = std::move(operation)](std::stop_token stop) {
            operation(client, stop);
            return Done{};
        },
        [this, token, done](TaskOutcome<Done> outcome) {
            if (!settle(token, outcome))
                return;
            m_model.record(done);
            browse(std::nullopt);
        });
}

void RemoteSession::rename(const QString& newName)
{
    const QSet<QString>& selection = m_pane.selection();
    if (selection.size() != 1 || *selection.cbegin() == newName)
        return;
    if (m_pane.contains(newName))
        return m_model.setErrorMessage(L("name_exists"));
    const QString from = RemotePath::joining(m_path, *selection.cbegin());
    const QString to = RemotePath::joining(m_path, newName);
    performRemote([from, to](const FTPClient& client, std::stop_token stop) { client.rename(from, to, stop); },
                  L("renamed_item", *selection.cbegin(), newName));
}

void RemoteSession::deleteSelection()
{
    const QList<FileEntry> items = m_pane.selectedEntries();
    if (items.isEmpty())
        return;
    const PromptAlert question{PromptAlert::Style::warning,
                               L10n::plural(u"remote_delete_question"_s, items.size()),
                               L("delete_warning"),
                               {L("cancel"), L("delete_permanently")}};
    // The folder is the one the person saw the items in when confirming.
    m_model.prompter().alert(question).then(&m_model, [this, items, folder = m_path](int answer) {
        if (answer != 1)
            return;
        const QString done =
            items.size() == 1 ? L("deleted_item", items.first().name) : L10n::plural(u"deleted_items"_s, items.size());
        performRemote(
            [items, folder](const FTPClient& client, std::stop_token stop) {
                for (const FileEntry& item : items)
                    client.deleteTree(RemotePath::joining(folder, item.name), item.isDirectory, 0, stop);
            },
            done);
    });
}

void RemoteSession::changePermissions(const QString& mode)
{
    QStringList paths;
    for (const QString& name : m_pane.selection())
        paths.append(RemotePath::joining(m_path, name));
    if (paths.isEmpty())
        return;
    performRemote(
        [paths, mode](const FTPClient& client, std::stop_token stop) {
            for (const QString& path : paths)
                client.permissions(path, mode, stop);
        },
        L("operation_done"));
}
