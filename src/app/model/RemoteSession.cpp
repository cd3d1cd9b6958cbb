#include "RemoteSession.h"

#include "L10n.h"
#include "Prompter.h"
#include "RemotePath.h"

using namespace Qt::StringLiterals;

namespace {
using Listing = FileListModel::Listing;
// What a task without a result of its own returns.
struct Done {};
} // namespace

RemoteSession::RemoteSession(const PartContext& context, std::function<bool()> working, QObject* parent)
    : FilePane({Command::remoteUp, Command::remoteRefresh, Command::remoteNewFolder, Command::remoteOpenFolder,
                Command::remoteGoTo, Command::remoteRename, Command::remoteDelete, Command::download, std::nullopt,
                std::nullopt, Command::editRemote, Command::permissions},
               parent),
      m_context(context), m_working(std::move(working)), m_path(u"/"_s), m_browseTask(context.pool)
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
    m_browseTask.start<Listing>(
        [client, listed, prepare = preparer()](std::stop_token stop) { return prepare(client.list(listed, stop)); },
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
    Q_EMIT placeChanged();
    setListing(std::move(listing));
    m_context.record(L("connected_to", client.profile().name, FTPProtocols::label(client.profile().protocolType)));
    if (link && !link->namesFolder)
        land(*link);
}

void RemoteSession::land(const ServerLink& link)
{
    const QString name = RemotePath::lastComponent(link.path);
    // A name the folder does not hold is browsed all the same, so that the server says why.
    if (!contains(name) || holdsFolder(name))
        return browse(link.path);
    setSelection({name});
}

void RemoteSession::disconnect()
{
    m_browseTask.cancel();
    const bool wasConnected = m_connectedProfile.has_value();
    m_client.reset();
    m_connectedProfile.reset();
    if (wasConnected)
        Q_EMIT connectedProfileChanged();
    setEntries({});
    setSelection({});
    if (m_path != u"/"_s) {
        m_path = u"/"_s;
        Q_EMIT placeChanged();
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
    m_browseTask.start<Listing>([client = *m_client, target, prepare = preparer()](
                                    std::stop_token stop) { return prepare(client.list(target, stop)); },
                                [this, target, throughLink, select](TaskOutcome<Listing> outcome) {
                                    // A link that does not list is taken for a file, and opening a file shows nothing.
                                    if ((throughLink && !outcome.value) || !settle(outcome))
                                        return;
                                    if (throughLink)
                                        setSearch({});
                                    if (target != m_path) {
                                        m_path = target;
                                        Q_EMIT placeChanged();
                                    }
                                    setListing(std::move(*outcome.value));
                                    setSelection(select);
                                });
}

void RemoteSession::goUp()
{
    browse(RemotePath::parent(m_path));
}

void RemoteSession::openSelection()
{
    const std::optional<FileEntry> selected = singleSelection();
    if (!m_client || !selected || !(selected->isDirectory || selected->isSymbolicLink))
        return;
    if (selected->isDirectory)
        setSearch({});
    // Listings never call a link a folder; trying it as one is the only way to know.
    show(RemotePath::joining(m_path, selected->name), selected->isSymbolicLink);
}

void RemoteSession::makeFolder(const QString& name)
{
    if (!m_client)
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

void RemoteSession::renameSelected(const QString& newName)
{
    const QSet<QString>& selected = selection();
    if (selected.size() != 1 || *selected.cbegin() == newName)
        return;
    if (contains(newName))
        return m_context.report(L("name_exists"), false);
    const QString from = RemotePath::joining(m_path, *selected.cbegin());
    const QString to = RemotePath::joining(m_path, newName);
    performRemote([from, to](const FTPClient& client, std::stop_token stop) { client.rename(from, to, stop); },
                  L("renamed_item", *selected.cbegin(), newName), {newName});
}

void RemoteSession::removeSelection()
{
    const QList<FileEntry> items = selectedEntries();
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

void RemoteSession::applyPermissions(const QString& mode)
{
    QStringList paths;
    for (const QString& name : selection())
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
