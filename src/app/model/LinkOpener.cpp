#include "LinkOpener.h"

#include "AppModel.h"
#include "L10n.h"

#include <utility>

LinkOpener::LinkOpener(AppModel& model) : m_model(model)
{
    QObject::connect(&model, &AppModel::showConnectionEditorChanged, &model, [this] {
        if (!m_model.showConnectionEditor())
            m_notice.clear();
    });
}

void LinkOpener::open(const QString& text)
{
    ServerLink link;
    try {
        link = ServerLink::parse(text);
    } catch (...) {
        return m_model.report(std::current_exception());
    }
    QStringList notes;
    if (link.hadPassword)
        notes << L("link_password_ignored");
    const std::optional<ServerProfile> saved = link.match(m_model.profiles());
    const ServerProfile profile = saved.value_or(link.newProfile());
    m_waiting = Waiting{profile.id, link};
    if (!saved) {
        if (profile.protocolType == FTPProtocol::sftp)
            notes.prepend(L("link_fingerprint_needed"));
        return edit(profile, notes);
    }
    m_model.setSelectedProfileID(profile.id);
    if (!profile.rememberPassword)
        return edit(profile, notes);
    for (const QString& note : notes)
        m_model.record(note);
    m_model.connectSaved();
}

std::optional<ServerLink> LinkOpener::take(const QUuid& profileID)
{
    std::optional<Waiting> waiting = std::exchange(m_waiting, std::nullopt);
    if (!waiting || waiting->profileID != profileID)
        return std::nullopt;
    return std::move(waiting->link);
}

void LinkOpener::edit(const ServerProfile& profile, const QStringList& notes)
{
    m_notice = notes.join(u' ');
    m_model.setEditingProfile(profile);
    m_model.setShowConnectionEditor(true);
}
