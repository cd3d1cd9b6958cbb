#include "KeychainStore.h"

#include "FTPError.h"
#include "ServerProfile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QMap>
#include <qt6keychain/keychain.h>

namespace KeychainStore {

namespace {

enum class Absence { isFailure, isFine };

[[noreturn]] void fail(const QString& detail)
{
    throw FTPError::message(QStringLiteral("Keychain: ") + detail);
}

template <typename Source, typename Signal> void wait(Source& source, Signal signal, const std::function<bool()>& done)
{
    QEventLoop loop;
    QObject::connect(&source, signal, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// A locked collection cannot show its unlock prompt here, and the secret library then reports
// "nothing found" instead of a failure. Asking the Secret Service directly tells the two apart,
// so a locked keyring is never mistaken for a missing password.
bool lockedItemExists(const QString& key)
{
    using Attributes = QMap<QString, QString>;
    qDBusRegisterMetaType<Attributes>();
    QDBusMessage search = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"));
    search << QVariant::fromValue(
        Attributes{{QStringLiteral("server"), QString::fromLatin1(service)}, {QStringLiteral("user"), key}});
    QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(search));
    wait(watcher, &QDBusPendingCallWatcher::finished, [&watcher] { return watcher.isFinished(); });
    const QDBusPendingReply<QList<QDBusObjectPath>, QList<QDBusObjectPath>> reply = watcher;
    // Without a Secret Service to ask there is no evidence of a locked item.
    return reply.isValid() && !reply.argumentAt<1>().isEmpty();
}

// For a job that found nothing: whether that was really nothing, or a keyring it could not open.
void failIfLocked(const QKeychain::Job& job)
{
    if (lockedItemExists(job.key()))
        fail(QStringLiteral("The keyring holding the password is locked."));
}

void prepare(QKeychain::Job& job, const QUuid& id)
{
    job.setAutoDelete(false);
    // Never a plain-text file in place of a secret store that is not there.
    job.setInsecureFallback(false);
    job.setKey(ServerProfile::uuidText(id));
}

// QtKeychain answers through signals; a local loop turns that into a plain call without
// stalling timers and sockets that the rest of the application serves meanwhile.
void run(QKeychain::Job& job, Absence absence)
{
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, [&finished] { finished = true; });
    job.start();
    wait(job, &QKeychain::Job::finished, [&finished] { return finished; });
    if (job.error() == QKeychain::NoError || (job.error() == QKeychain::EntryNotFound && absence == Absence::isFine))
        return;
    fail(job.errorString().isEmpty() ? QString::number(job.error()) : job.errorString());
}

} // namespace

void set(const QString& password, const QUuid& id)
{
    QKeychain::WritePasswordJob job(QString::fromLatin1(service));
    prepare(job, id);
    job.setTextData(password);
    run(job, Absence::isFailure);
}

QString password(const QUuid& id)
{
    QKeychain::ReadPasswordJob job(QString::fromLatin1(service));
    prepare(job, id);
    run(job, Absence::isFine);
    if (job.error() != QKeychain::EntryNotFound)
        return job.textData();
    failIfLocked(job);
    return {};
}

void deletePassword(const QUuid& id)
{
    QKeychain::DeletePasswordJob job(QString::fromLatin1(service));
    prepare(job, id);
    run(job, Absence::isFine);
    failIfLocked(job);
}

} // namespace KeychainStore
