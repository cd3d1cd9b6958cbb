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
#include <QFutureWatcher>
#include <QMap>
#include <QPromise>
#include <memory>
#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace KeychainStore {

namespace {

// When a job may have been fooled by a locked keyring: a write reports the lock itself, a read
// only when it finds nothing, and a removal never.
enum class LockCheck { never, whenNothingFound, always };

std::exception_ptr failure(const QString& detail)
{
    return std::make_exception_ptr(FTPError::message(u"Keychain: "_s + detail));
}

template <typename T> void fail(QPromise<T>& promise, const std::exception_ptr& error)
{
    promise.setException(error);
    promise.finish();
}

// A locked collection cannot show its unlock prompt here, and the secret library then reports
// "nothing found" instead of a failure. Asking the Secret Service directly tells the two apart,
// so a locked keyring is never mistaken for a missing password. `done` receives whether a locked
// item exists.
void checkLocked(const QString& key, std::function<void(bool)> done)
{
    using Attributes = QMap<QString, QString>;
    qDBusRegisterMetaType<Attributes>();
    QDBusMessage search = QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s,
                                                         u"org.freedesktop.Secret.Service"_s, u"SearchItems"_s);
    search << QVariant::fromValue(Attributes{{u"server"_s, QString::fromLatin1(service)}, {u"user"_s, key}});
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(search));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<QList<QDBusObjectPath>, QList<QDBusObjectPath>> reply = *watcher;
        // Without a Secret Service to ask there is no evidence of a locked item.
        done(reply.isValid() && !reply.argumentAt<1>().isEmpty());
    });
}

// Starts `job` and, when it has finished, calls `succeeded` with it (or with nothing when it found
// nothing) or fails the promise. Finding nothing is a success, unless a locked keyring hides it.
template <typename T, typename Succeeded>
QFuture<T> start(QKeychain::Job* job, const QUuid& id, LockCheck lockCheck, Succeeded succeeded)
{
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    // Never a plain-text file in place of a secret store that is not there.
    job->setInsecureFallback(false);
    job->setKey(ServerProfile::uuidText(id));
    QObject::connect(job, &QKeychain::Job::finished, [promise, lockCheck, succeeded](QKeychain::Job* done) {
        const bool found = done->error() == QKeychain::NoError;
        if (!found && (done->error() != QKeychain::EntryNotFound || lockCheck == LockCheck::never))
            return fail(*promise,
                        failure(done->errorString().isEmpty() ? QString::number(done->error()) : done->errorString()));
        if (lockCheck == LockCheck::never || (found && lockCheck == LockCheck::whenNothingFound))
            return succeeded(*promise, done);
        checkLocked(done->key(), [promise, succeeded](bool locked) {
            if (locked)
                return fail(*promise, failure(u"The keyring holding the password is locked."_s));
            succeeded(*promise, nullptr);
        });
    });
    job->start();
    return promise->future();
}

void finishVoid(QPromise<void>& promise, QKeychain::Job*)
{
    promise.finish();
}

// Waits for `future` on a local loop that leaves user input alone, then rethrows its failure.
template <typename T> QFuture<T> waitFor(QFuture<T> future)
{
    if (!future.isFinished()) {
        QEventLoop loop;
        QFutureWatcher<T> watcher;
        QObject::connect(&watcher, &QFutureWatcher<T>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    future.waitForFinished();
    return future;
}

} // namespace

QFuture<void> setPassword(const QString& password, const QUuid& id)
{
    auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(service));
    job->setTextData(password);
    return start<void>(job, id, LockCheck::never, finishVoid);
}

QFuture<QString> readPassword(const QUuid& id)
{
    auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(service));
    return start<QString>(job, id, LockCheck::whenNothingFound, [](QPromise<QString>& promise, QKeychain::Job* done) {
        promise.addResult(done ? static_cast<QKeychain::ReadPasswordJob*>(done)->textData() : QString());
        promise.finish();
    });
}

QFuture<void> removePassword(const QUuid& id)
{
    auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(service));
    return start<void>(job, id, LockCheck::always, finishVoid);
}

void set(const QString& password, const QUuid& id)
{
    waitFor(setPassword(password, id));
}

QString password(const QUuid& id)
{
    return waitFor(readPassword(id)).result();
}

void deletePassword(const QUuid& id)
{
    waitFor(removePassword(id));
}

} // namespace KeychainStore
