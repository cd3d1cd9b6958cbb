#include "LinkOpener.h"

#include "L10n.h"

#include <utility>

LinkOpener::LinkOpener(const PartContext& context, QObject* parent) : QObject(parent), m_context(context) {}

void LinkOpener::open(const QString& text, const QList<ServerProfile>& profiles)
{
    ServerLink link;
    try {
        link = ServerLink::parse(text);
    } catch (...) {
        return m_context.report(std::current_exception());
    }
    QStringList notes;
    if (link.hadPassword)
        notes << L("link_password_ignored");
    const std::optional<ServerProfile> saved = link.match(profiles);
    const ServerProfile profile = saved.value_or(link.newProfile());
    m_waiting = Waiting{profile.id, link};
    if (!saved) {
        if (profile.protocolType == FTPProtocol::sftp)
            notes.prepend(L("link_fingerprint_needed"));
        return edit(profile, notes);
    }
    Q_EMIT savedChosen(profile.id);
    if (!profile.rememberPassword)
        return edit(profile, notes);
    for (const QString& note : notes)
        m_context.record(note);
    Q_EMIT connectRequested();
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
    Q_EMIT editRequested(profile);
}
