#include "AppModel.h"

#include "ErrorText.h"
#include "FileFilterModel.h"
#include "FileListModel.h"
#include "FolderComparer.h"
#include "KeychainStore.h"
#include "L10n.h"
#include "LinkOpener.h"
#include "LocalFileSystem.h"
#include "LocalPane.h"
#include "ProfileFileWatcher.h"
#include "ProfileListModel.h"
#include "ProfileStore.h"
#include "Prompter.h"
#include "QueueStore.h"
#include "RemoteEditStore.h"
#include "RemoteEditing.h"
#include "RemotePath.h"
#include "RemoteSession.h"
#include "StoreFile.h"
#include "TransferQueue.h"
#include "UpdateChecker.h"
#include "ViewChoices.h"

#include <QDir>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
// A browse waits behind no transfer, planning or feature task, even while cancelled tasks end.
constexpr int workerThreads = TransferRunner::maximumSimultaneous + 8;
} // namespace

AppModel::AppModel(Prompter& prompter, QObject* parent)
    : QObject(parent), m_profileList(std::make_unique<ProfileListModel>()),
      m_activity(std::make_unique<ActivityLog>()), m_context{prompter, m_pool, *m_activity,
                                                             [this](const QString& sentence) {
                                                                 setErrorMessage(sentence);
                                                             }},
      m_links(std::make_unique<LinkOpener>(m_context)), m_local(std::make_unique<LocalPane>(m_context)),
      m_remote(std::make_unique<RemoteSession>(m_context, [this] { return isWorking(); })),
      m_queue(std::make_unique<TransferQueue>(m_context)), m_edits(std::make_unique<RemoteEditing>(m_context)),
      m_comparison(std::make_unique<FolderComparer>(m_context)),
      m_updates(std::make_unique<UpdateChecker>(m_context, [this] { return pendingCount() == 0 && !planning(); }))
{
    // The tests wait for every task through it.
    m_pool.setParent(this);
    m_pool.setMaxThreadCount(workerThreads);
    wireParts();
    m_commands = CommandRules::all(commandState());
    try {
        StoreFile::removeStaleTemporaries({ProfileStore::file(), QueueStore::file(), RemoteEditStore::file()});
    } catch (...) {
        // A data folder that cannot be written shows itself at the first save.
    }
    m_profileFile = std::make_unique<ProfileFileWatcher>();
    QObject::connect(m_profileFile.get(), &ProfileFileWatcher::read, this, [this](const QList<ServerProfile>& saved) {
        if (saved != profiles())
            adoptProfiles(saved);
    });
    bool profilesRead = true;
    try {
        setProfiles(ProfileStore::load());
    } catch (...) {
        profilesRead = false;
        report(std::current_exception(), false);
    }
    restoreViewChoices();
    QList<TransferItem> restored;
    bool queueRead = true;
    try {
        restored = QueueStore::load(profiles());
    } catch (...) {
        queueRead = false;
        report(std::current_exception(), false);
    }
    // Without the profiles every saved record would be dropped, and the file with them.
    m_queue->restore(std::move(restored), !profilesRead || !queueRead);
    refreshLocal();
    m_edits->load();
    m_edits->startScanning();
}

AppModel::~AppModel() = default;

void AppModel::restoreViewChoices()
{
    const QUuid stored = ViewChoices::storedProfileID();
    const bool storedExists = std::any_of(profiles().cbegin(), profiles().cend(),
                                          [&stored](const ServerProfile& profile) { return profile.id == stored; });
    if (storedExists)
        setSelectedProfileID(stored);
    else if (!profiles().isEmpty())
        setSelectedProfileID(profiles().first().id);
    setShowHidden(ViewChoices::storedShowHidden());
    for (const bool local : {true, false}) {
        FileListModel& files = (local ? localPane() : remotePane()).files();
        files.setSortOrder(ViewChoices::storedSortOrder(local));
        QObject::connect(&files, &FileListModel::sortOrderChanged, this,
                         [&files, local] { ViewChoices::storeSortOrder(local, files.sortOrder()); });
    }
}

void AppModel::wireParts()
{
    const auto forward = [this](auto* part, auto partSignal, auto modelSignal) {
        QObject::connect(part, partSignal, this, modelSignal);
    };
    forward(m_local.get(), &LocalPane::placeChanged, &AppModel::localURLChanged);
    forward(m_local.get(), &LocalPane::filesChanged, &AppModel::localFilesChanged);
    forward(m_local.get(), &LocalPane::selectionChanged, &AppModel::localSelectionChanged);
    forward(m_local.get(), &LocalPane::searchChanged, &AppModel::localSearchChanged);
    forward(m_remote.get(), &RemoteSession::connectedProfileChanged, &AppModel::connectedProfileChanged);
    forward(m_remote.get(), &RemoteSession::placeChanged, &AppModel::remotePathChanged);
    forward(m_remote.get(), &RemoteSession::filesChanged, &AppModel::remoteFilesChanged);
    forward(m_remote.get(), &RemoteSession::selectionChanged, &AppModel::remoteSelectionChanged);
    forward(m_remote.get(), &RemoteSession::searchChanged, &AppModel::remoteSearchChanged);
    forward(m_remote.get(), &RemoteSession::busyChanged, &AppModel::busyChanged);
    forward(m_queue.get(), &TransferQueue::pausedChanged, &AppModel::queuePausedChanged);
    forward(m_queue.get(), &TransferQueue::simultaneousChanged, &AppModel::simultaneousTransfersChanged);
    forward(m_queue.get(), &TransferQueue::planningChanged, &AppModel::planningChanged);
    forward(m_queue.get(), &TransferQueue::countsChanged, &AppModel::pendingCountChanged);
    forward(m_queue.get(), &TransferQueue::countsChanged, &AppModel::completedCountChanged);
    forward(m_queue.get(), &TransferQueue::timeLeftChanged, &AppModel::queueTimeLeftChanged);
    forward(m_edits.get(), &RemoteEditing::editsChanged, &AppModel::editsChanged);
    forward(m_edits.get(), &RemoteEditing::shownChanged, &AppModel::showEditsChanged);
    forward(m_edits.get(), &RemoteEditing::busyChanged, &AppModel::busyChanged);
    forward(m_comparison.get(), &FolderComparer::rowsChanged, &AppModel::comparisonChanged);
    forward(m_comparison.get(), &FolderComparer::shownChanged, &AppModel::showComparisonChanged);
    forward(m_comparison.get(), &FolderComparer::comparingChanged, &AppModel::comparingChanged);
    forward(m_updates.get(), &UpdateChecker::checkingChanged, &AppModel::checkingUpdatesChanged);
    forward(m_updates.get(), &UpdateChecker::quitRequested, &AppModel::quitRequested);
    // Working is busy, planning or comparing, whichever part changed it.
    for (const auto changed : {&AppModel::busyChanged, &AppModel::planningChanged, &AppModel::comparingChanged})
        QObject::connect(this, changed, this, &AppModel::updateWorking);
    for (const auto changed :
         {&AppModel::connectedProfileChanged, &AppModel::isWorkingChanged, &AppModel::pendingCountChanged,
          &AppModel::checkingUpdatesChanged, &AppModel::localURLChanged, &AppModel::localFilesChanged,
          &AppModel::localSelectionChanged, &AppModel::remotePathChanged, &AppModel::remoteFilesChanged,
          &AppModel::remoteSelectionChanged})
        QObject::connect(this, changed, this, &AppModel::updateCommands);

    for (FilePane* pane : std::initializer_list<FilePane*>{m_local.get(), m_remote.get()})
        QObject::connect(this, &AppModel::commandsChanged, pane, &FilePane::announceCommands);
    const auto rule = [this](Command command) { return can(command); };
    m_local->setLinks({rule, [this](const QString& into) { enqueue(true, into); }, {}, {}});
    m_remote->setLinks(
        {rule, [this](const QString& into) { enqueue(false, into); }, [this] { editRemoteFile(); },
         [this](const QStringList& paths, const QString& into) { return enqueueDroppedUploads(paths, into); }});

    QObject::connect(m_queue.get(), &TransferQueue::transferEnded, this, [this](const QUuid& profileID) {
        refreshLocal();
        relist(profileID);
    });
    QObject::connect(m_edits.get(), &RemoteEditing::uploaded, this, &AppModel::relist);
    QObject::connect(this, &AppModel::busyChanged, this, [this] {
        if (m_relistPending && !busy())
            relist(*std::exchange(m_relistPending, std::nullopt));
    });
    QObject::connect(m_links.get(), &LinkOpener::savedChosen, this, &AppModel::setSelectedProfileID);
    QObject::connect(m_links.get(), &LinkOpener::connectRequested, this, &AppModel::connectSaved);
    QObject::connect(m_links.get(), &LinkOpener::editRequested, this, [this](const ServerProfile& profile) {
        setEditingProfile(profile);
        setShowConnectionEditor(true);
    });
    QObject::connect(this, &AppModel::showConnectionEditorChanged, this, [this] {
        if (!m_showConnectionEditor)
            m_links->clearNotice();
    });
}

void AppModel::relist(const QUuid& profileID)
{
    const std::optional<ServerProfile> connected = connectedProfile();
    if (!connected || connected->id != profileID)
        return;
    if (busy())
        return void(m_relistPending = profileID);
    browse();
}

// Profiles and the connection.

const QList<ServerProfile>& AppModel::profiles() const
{
    return m_profileList->profiles();
}

void AppModel::setProfiles(QList<ServerProfile> profiles)
{
    m_profileList->setProfiles(std::move(profiles));
    Q_EMIT profilesChanged();
    Q_EMIT selectedProfileChanged();
}

void AppModel::setSelectedProfileID(const QUuid& id)
{
    if (id == m_selectedProfileID)
        return;
    m_selectedProfileID = id;
    ViewChoices::storeProfileID(id);
    Q_EMIT selectedProfileChanged();
}

std::optional<ServerProfile> AppModel::selectedProfile() const
{
    for (const ServerProfile& profile : profiles())
        if (profile.id == m_selectedProfileID)
            return profile;
    return std::nullopt;
}

void AppModel::connectSaved()
{
    const std::optional<ServerProfile> profile = selectedProfile();
    if (!profile || !profile->rememberPassword) {
        setEditingProfile(profile);
        return setShowConnectionEditor(true);
    }
    m_connectRequest.begin();
    KeychainStore::readPassword(profile->id)
        .then(&m_connectRequest,
              m_connectRequest.bind([this, profile](const QString& password) { connect(*profile, password); }))
        .onFailed(&m_connectRequest, m_connectRequest.bind([this] { report(std::current_exception()); }));
}

void AppModel::connect(const ServerProfile& profile, const QString& password)
{
    m_connectRequest.begin();
    if (pendingCount() > 0)
        return setErrorMessage(L("wait_transfers"));
    // The question may stay open while the person asks for another server or disconnects.
    confirmStop(StopQuestion::Stop::switchProfile, m_connectRequest.bind([this, profile, password](bool allowed) {
        if (!allowed)
            return;
        disconnect();
        m_remote->connect(profile, password, m_links->take(profile.id));
    }));
}

void AppModel::requestDisconnect()
{
    confirmStop(StopQuestion::Stop::disconnect, [this](bool allowed) {
        if (allowed)
            disconnect();
    });
}

void AppModel::confirmStop(StopQuestion::Stop stop, const std::function<void(bool allowed)>& decided)
{
    const std::optional<PromptAlert> question =
        StopQuestion::alert(stop, pendingCount() > 0 || planning(), m_edits->uploading());
    if (!question)
        return decided(true);
    onAnswer(m_context.prompter.alert(*question), this, -1, [decided](int answer) { decided(answer == 1); });
}

void AppModel::disconnect()
{
    m_connectRequest.cancel();
    m_comparison->abandon();
    m_edits->abandon();
    m_remote->disconnect();
    m_queue->cancelAll();
}

QFuture<std::optional<QString>> AppModel::save(const ServerProfile& profile, const QString& password)
{
    try {
        profile.validate();
    } catch (...) {
        return QtFuture::makeReadyFuture(ErrorText::sentence(std::current_exception()));
    }
    // A profile that never remembered a password leaves the secret store alone, which a desktop
    // may not even have. The list shown follows the file, so the file need not be read again here.
    const bool forgets = !profile.rememberPassword &&
                         std::any_of(profiles().cbegin(), profiles().cend(), [&profile](const ServerProfile& saved) {
                             return saved.id == profile.id && saved.rememberPassword;
                         });
    QFuture<void> credential = profile.rememberPassword ? KeychainStore::setPassword(password, profile.id)
                               : forgets                ? KeychainStore::removePassword(profile.id)
                                                        : QtFuture::makeReadyFuture();
    return credential.then(this, [this, profile] { return store(profile); })
        .onFailed(this,
                  [this, profile](const KeychainStore::MissingStore& missing) -> std::optional<QString> {
                      ServerProfile withoutPassword = profile;
                      withoutPassword.rememberPassword = false;
                      return store(withoutPassword).value_or(missing.errorDescription());
                  })
        .onFailed(this, [] { return ErrorText::sentence(std::current_exception()); });
}

std::optional<QString> AppModel::store(const ServerProfile& profile)
{
    ProfileStore::Saved saved;
    try {
        saved = ProfileStore::put(profile);
    } catch (...) {
        return ErrorText::sentence(std::current_exception());
    }
    adoptProfiles(std::move(saved.profiles));
    setSelectedProfileID(profile.id);
    record(L("saved_connection", profile.name));
    m_context.reportKept(ProfileStore::file(), saved.keptAs);
    return std::nullopt;
}

QFuture<QString> AppModel::storedPassword(const QUuid& profileID) const
{
    return KeychainStore::readPassword(profileID);
}

void AppModel::removeProfile(const ServerProfile& profile)
{
    KeychainStore::removePassword(profile.id)
        .then(this,
              [this, id = profile.id] {
                  ProfileStore::Saved saved;
                  try {
                      saved = ProfileStore::remove(id);
                  } catch (...) {
                      return report(std::current_exception());
                  }
                  adoptProfiles(std::move(saved.profiles));
                  m_context.reportKept(ProfileStore::file(), saved.keptAs);
              })
        .onFailed(this, [this] { report(std::current_exception()); });
}

void AppModel::openLink(const QString& text)
{
    m_links->open(text, profiles());
}

void AppModel::adoptProfiles(QList<ServerProfile> profiles)
{
    const bool selectionStays = std::any_of(profiles.cbegin(), profiles.cend(), [this](const ServerProfile& profile) {
        return profile.id == m_selectedProfileID;
    });
    setProfiles(std::move(profiles));
    if (!selectionStays)
        setSelectedProfileID(this->profiles().isEmpty() ? QUuid() : this->profiles().first().id);
}

// The panes.

void AppModel::browse(const std::optional<QString>& path)
{
    m_remote->browse(path);
}

void AppModel::createRemoteFolder(const QString& name)
{
    m_remote->createFolder(name);
}

void AppModel::renameSelection(bool local, const QString& newName)
{
    (local ? localPane() : remotePane()).rename(newName);
}

void AppModel::deleteSelection(bool local)
{
    (local ? localPane() : remotePane()).deleteSelection();
}

void AppModel::changePermissions(const QString& mode)
{
    m_remote->changePermissions(mode);
}

// Both panes.

void AppModel::setShowHidden(bool show)
{
    if (show == m_showHidden)
        return;
    m_showHidden = show;
    ViewChoices::storeShowHidden(show);
    m_local->setShowHidden(show);
    m_remote->setShowHidden(show);
    Q_EMIT showHiddenChanged();
}

QList<FileEntry> AppModel::visible(const QList<FileEntry>& entries, const QString& search) const
{
    QList<FileEntry> shown;
    for (const FileEntry& entry : entries)
        if (FileFilterModel::accepts(entry, search, m_showHidden))
            shown.append(entry);
    return shown;
}

// The transfer queue.

void AppModel::enqueue(bool upload, const QString& into)
{
    const FilePane& from = upload ? localPane() : remotePane();
    const FilePane& to = upload ? remotePane() : localPane();
    if (!client() || !can(upload ? Command::upload : Command::download) || (!into.isEmpty() && !to.holdsFolder(into)))
        return;
    const QString localFolder = upload || into.isEmpty() ? localURL() : LocalFileSystem::joining(localURL(), into);
    const QString remoteFolder = upload ? remoteFolderOf(into) : remotePath();
    QList<TransferSource> sources;
    for (const FileEntry& entry : from.selectedEntries())
        sources.append(
            {entry, LocalFileSystem::joining(localFolder, entry.name), RemotePath::joining(remoteFolder, entry.name)});
    m_queue->enqueue(upload, sources, *client());
}

bool AppModel::enqueueDroppedUploads(const QStringList& paths, const QString& into)
{
    const bool allLocal =
        std::all_of(paths.cbegin(), paths.cend(), [](const QString& path) { return QDir::isAbsolutePath(path); });
    if (!isConnected() || isWorking() || paths.isEmpty() || !allLocal ||
        (!into.isEmpty() && !m_remote->holdsFolder(into)))
        return false;
    QList<TransferSource> sources;
    try {
        sources = TransferRequest::localSources(paths, remoteFolderOf(into));
    } catch (...) {
        report(std::current_exception());
        return false;
    }
    m_queue->enqueue(true, sources, *client());
    return true;
}

QString AppModel::remoteFolderOf(const QString& into) const
{
    return into.isEmpty() ? remotePath() : RemotePath::joining(remotePath(), into);
}

// The activity log and errors.

const QList<Activity>& AppModel::activity() const
{
    return m_activity->entries();
}

void AppModel::record(const QString& text)
{
    m_context.record(text);
}

void AppModel::setErrorMessage(const QString& message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

void AppModel::report(const QString& sentence, bool log)
{
    m_context.report(sentence, log);
}

void AppModel::report(const std::exception_ptr& error, bool log)
{
    m_context.report(error, log);
}

// The connection editor.

void AppModel::setShowConnectionEditor(bool show)
{
    if (show == m_showConnectionEditor)
        return;
    m_showConnectionEditor = show;
    Q_EMIT showConnectionEditorChanged();
}

void AppModel::setEditingProfile(const std::optional<ServerProfile>& profile)
{
    if (profile == m_editingProfile)
        return;
    m_editingProfile = profile;
    Q_EMIT editingProfileChanged();
}

QString AppModel::connectionNotice() const
{
    return m_links->notice();
}

void AppModel::showInFileManager(const QString& path)
{
    m_local->showInFileManager(path);
}

// Remote editing.

void AppModel::editRemoteFile()
{
    const std::optional<FileEntry> entry = m_remote->singleSelection();
    if (client() && can(Command::editRemote))
        m_edits->edit(*client(), *entry, remotePath());
}

void AppModel::showEditInFileManager(const QUuid& id)
{
    if (const std::optional<QString> path = m_edits->localPath(id))
        showInFileManager(*path);
}

// Folder comparison.

void AppModel::compareFolders()
{
    if (client() && can(Command::compare))
        m_comparison->compare(*client(), localURL(), remotePath());
}

// State.

bool AppModel::isWorking() const
{
    return busy() || planning() || comparing();
}

void AppModel::updateWorking()
{
    if (isWorking() == m_working)
        return;
    m_working = isWorking();
    Q_EMIT isWorkingChanged();
}

CommandState AppModel::commandState() const
{
    const auto pane = [](const FilePane& files, bool atRoot) {
        return CommandState::Pane{atRoot, static_cast<int>(files.selection().size()), files.singleSelection()};
    };
    return {isConnected(),
            isWorking(),
            pendingCount() > 0,
            checkingUpdates(),
            pane(*m_local, QDir(localURL()).isRoot()),
            pane(*m_remote, remotePath() == u"/"_s)};
}

void AppModel::updateCommands()
{
    const unsigned long long commands = CommandRules::all(commandState());
    if (commands == m_commands)
        return;
    m_commands = commands;
    Q_EMIT commandsChanged();
}

void AppModel::shutDown()
{
    if (m_shuttingDown)
        return;
    persistQueue();
    m_shuttingDown = true;
    m_queue->stopSaving();
    m_edits->shutDown();
    m_updates->cancel();
    disconnect();
}

// Item models.

FileListModel* AppModel::localFileList() const
{
    return &m_local->files();
}

FileListModel* AppModel::remoteFileList() const
{
    return &m_remote->files();
}

FileFilterModel* AppModel::visibleLocalFiles() const
{
    return &m_local->visibleFiles();
}

FileFilterModel* AppModel::visibleRemoteFiles() const
{
    return &m_remote->visibleFiles();
}

TransferListModel* AppModel::transferList() const
{
    return &m_queue->list();
}

RemoteEditListModel* AppModel::remoteEditList() const
{
    return &m_edits->list();
}

ComparisonListModel* AppModel::comparisonList() const
{
    return &m_comparison->list();
}
