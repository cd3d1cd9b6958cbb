#include "KeychainStore.h"

#include "FTPError.h"
#include "L10n.h"
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

enum class Operation { read, write, remove };
enum class StoreState { missing, locked, open };

std::exception_ptr failure(const QString& detail)
{
    return std::make_exception_ptr(FTPError::message(u"Keychain: "_s + detail));
}

template <typename T> void fail(QPromise<T>& promise, const std::exception_ptr& error)
{
    promise.setException(error);
    promise.finish();
}

bool isMissing(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoServer:
    case QDBusError::Disconnected: return true;
    default: return false;
    }
}

// The secret library cannot tell a missing store or a locked collection from other outcomes: a
// locked collection cannot show its unlock prompt here and then reads as "nothing found", and a
// desktop without any Secret Service reads as a failure. Asking the Secret Service directly tells
// them apart, so that a locked keyring is never mistaken for a missing password and a desktop
// without a store can still keep profiles that remember none.
void inspectStore(const QString& key, std::function<void(StoreState)> done)
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
        if (reply.isError() && isMissing(reply.error()))
            return done(StoreState::missing);
        done(reply.isValid() && !reply.argumentAt<1>().isEmpty() ? StoreState::locked : StoreState::open);
    });
}

// Starts `job` and, when it has finished, calls `succeeded` with it (or with nothing when it found
// nothing) or fails the promise. Finding nothing is a success, unless a locked keyring hides it;
// so is a removal from a store that does not exist, which can hold no password.
template <typename T, typename Succeeded>
QFuture<T> start(QKeychain::Job* job, const QUuid& id, Operation operation, Succeeded succeeded)
{
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    // Never a plain-text file in place of a secret store that is not there.
    job->setInsecureFallback(false);
    job->setKey(ServerProfile::uuidText(id));
    QObject::connect(job, &QKeychain::Job::finished, [promise, operation, succeeded](QKeychain::Job* done) {
        const QKeychain::Error error = done->error();
        // A removal reports success even when a locked keyring kept the item.
        if (error == QKeychain::NoError && operation != Operation::remove)
            return succeeded(*promise, done);
        const QString detail = done->errorString().isEmpty() ? QString::number(error) : done->errorString();
        inspectStore(done->key(), [promise, operation, succeeded, error, detail](StoreState state) {
            if (state == StoreState::missing && operation == Operation::remove)
                return succeeded(*promise, nullptr);
            if (state == StoreState::missing)
                return fail(*promise, std::make_exception_ptr(MissingStore()));
            if (error != QKeychain::NoError && error != QKeychain::EntryNotFound)
                return fail(*promise, failure(detail));
            if (state == StoreState::locked)
                return fail(*promise, failure(L("keyring_locked")));
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

QString MissingStore::errorDescription() const
{
    return L("secret_store_missing");
}

QFuture<void> setPassword(const QString& password, const QUuid& id)
{
    auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(service));
    job->setTextData(password);
    return start<void>(job, id, Operation::write, finishVoid);
}

QFuture<QString> readPassword(const QUuid& id)
{
    auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(service));
    return start<QString>(job, id, Operation::read, [](QPromise<QString>& promise, QKeychain::Job* done) {
        promise.addResult(done ? static_cast<QKeychain::ReadPasswordJob*>(done)->textData() : QString());
        promise.finish();
    });
}

QFuture<void> removePassword(const QUuid& id)
{
    auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(service));
    return start<void>(job, id, Operation::remove, finishVoid);
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
