#include "RemoteSession.h"

#include "L10n.h"
#include "Prompter.h"
#include "RemotePath.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
using Listing = FileListModel::Listing;
// What a task without a result of its own returns.
struct Done {};
} // namespace

RemoteSession::RemoteSession(const PartContext& context, std::function<bool()> working, QObject* parent)
    : QObject(parent), m_context(context), m_working(std::move(working)), m_path(u"/"_s),
      m_pane({[this] { Q_EMIT filesChanged(); }, [this] { Q_EMIT selectionChanged(); },
              [this] { Q_EMIT searchChanged(); }}),
      m_browseTask(context.pool)
{
    QObject::connect(&m_browseTask, &TaskSlot::runningChanged, this, &RemoteSession::busyChanged);
}

template <typename Result> bool RemoteSession::settle(const TaskOutcome<Result>& outcome)
{
    if (outcome.value)
        return true;
    m_context.report(outcome.error);
    return false;
}

void RemoteSession::connect(const ServerProfile& profile, const QString& password,
                            const std::optional<ServerLink>& link)
{
    const FTPClient client(profile, password);
    m_context.record(L("connecting_to", profile.host + u':' + QString::number(profile.port)));
    // The listing of a link's folder is what shows whether the link names a file or a folder.
    const QString listed = link ? link->folder() : profile.initialPath;
    m_browseTask.start<Listing>([client, listed, prepare = m_pane.preparer()](
                                    std::stop_token stop) { return prepare(client.list(listed, stop)); },
                                [this, client, listed, link](TaskOutcome<Listing> outcome) {
                                    if (settle(outcome))
                                        adopt(client, listed, std::move(*outcome.value), link);
                                });
}

void RemoteSession::adopt(const FTPClient& client, const QString& folder, FileListModel::Listing listing,
                          const std::optional<ServerLink>& link)
{
    m_client = client;
    m_connectedProfile = client.profile();
    Q_EMIT connectedProfileChanged();
    m_path = folder;
    Q_EMIT pathChanged();
    m_pane.setListing(std::move(listing));
    m_context.record(L("connected_to", client.profile().name, FTPProtocols::label(client.profile().protocolType)));
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
    m_browseTask.cancel();
    const bool wasConnected = m_connectedProfile.has_value();
    m_client.reset();
    m_connectedProfile.reset();
    if (wasConnected)
        Q_EMIT connectedProfileChanged();
    m_pane.setEntries({});
    m_pane.setSelection({});
    if (m_path != u"/"_s) {
        m_path = u"/"_s;
        Q_EMIT pathChanged();
    }
}

void RemoteSession::browse(const std::optional<QString>& path)
{
    if (!m_client)
        return;
    const QString target = path.value_or(m_path);
    // Going up selects the folder left, so that the way back down is one key away.
    const bool up = target != m_path && RemotePath::parent(m_path) == target;
    show(target, false, up ? QSet<QString>{RemotePath::lastComponent(m_path)} : QSet<QString>{});
}

void RemoteSession::show(const QString& target, bool throughLink, const QSet<QString>& select)
{
    m_browseTask.start<Listing>([client = *m_client, target, prepare = m_pane.preparer()](
                                    std::stop_token stop) { return prepare(client.list(target, stop)); },
                                [this, target, throughLink, select](TaskOutcome<Listing> outcome) {
                                    // A link that does not list is taken for a file, and opening a file shows nothing.
                                    if ((throughLink && !outcome.value) || !settle(outcome))
                                        return;
                                    if (throughLink)
                                        m_pane.setSearch({});
                                    if (target != m_path) {
                                        m_path = target;
                                        Q_EMIT pathChanged();
                                    }
                                    m_pane.setListing(std::move(*outcome.value));
                                    m_pane.setSelection(select);
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
    if (!RemotePath::isValidName(name) || !m_client)
        return;
    const QString path = RemotePath::joining(m_path, name);
    m_browseTask.start<Done>(
        [client = *m_client, path](std::stop_token stop) {
            client.createDirectory(path, stop);
            return Done{};
        },
        [this, path](TaskOutcome<Done> outcome) {
            if (!settle(outcome))
                return;
            m_context.record(L("folder_created", path));
            show(m_path, false, {RemotePath::lastComponent(path)});
        });
}

void RemoteSession::performRemote(Operation operation, const QString& done, const QSet<QString>& select)
{
    if (!m_client || m_working())
        return;
    m_browseTask.start<Done>(
        [client = *m_client, operation = std::move(operation)](std::stop_token stop) {
            operation(client, stop);
            return Done{};
        },
        [this, done, select](TaskOutcome<Done> outcome) {
            if (!settle(outcome))
                return;
            m_context.record(done);
            show(m_path, false, select);
        });
}

void RemoteSession::rename(const QString& newName)
{
    const QSet<QString>& selection = m_pane.selection();
    if (selection.size() != 1 || *selection.cbegin() == newName)
        return;
    if (m_pane.contains(newName))
        return m_context.report(L("name_exists"), false);
    const QString from = RemotePath::joining(m_path, *selection.cbegin());
    const QString to = RemotePath::joining(m_path, newName);
    performRemote([from, to](const FTPClient& client, std::stop_token stop) { client.rename(from, to, stop); },
                  L("renamed_item", *selection.cbegin(), newName), {newName});
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
    m_context.prompter.alert(question).then(this, [this, items, folder = m_path](int answer) {
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
