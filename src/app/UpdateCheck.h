#pragma once

#include "UpdateRelease.h"

#include <QByteArrayView>
#include <QFuture>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>
#include <functional>

class QNetworkReply;

// The network half of one update check: the feed, then the package. Lives on the thread that
// made it, whose event loop must run; each step returns at once and its future finishes there,
// so that the caller can ask the user between the steps. One request runs at a time. Ending the
// object ends its request, and a partial package never stays behind.
//
// Failures are FTPError: "update_unavailable" for a status other than 200 (a refused redirect
// included), "update_invalid" for a feed or package that fails its checks, and the texts of
// curl's statuses for the network ("invalid_certificate", "timeout", ...). cancel() fails the
// running step with CancellationError.
class UpdateCheck : public QObject {
    Q_OBJECT

public:
    explicit UpdateCheck(QObject* parent = nullptr);
    ~UpdateCheck() override;

    // The feed, decoded and checked.
    QFuture<UpdateRelease> fetchRelease();
    // The package, streamed into a fresh folder of the user's Downloads and checked against the
    // release; the result is its path.
    QFuture<QString> downloadPackage(const UpdateRelease& release);
    void cancel();

    // "https://updates.dravik.app/updates.json", or the host:port that DRAVIK_UPDATE_SERVER
    // names instead; an invalid URL when that is not a host with an optional port.
    static QUrl feedURL();
    // The build number compiled in, or 0 when it is not a decimal integer.
    static qint64 runningBuild();

private:
    using Consume = std::function<void(QByteArrayView)>;
    template <typename T> QFuture<T> get(const QUrl& url, Consume consume, std::function<T()> finish);

    QSslConfiguration m_tls;
    QPointer<QNetworkReply> m_reply;
    // Last, so that it goes first: a reply it ends may still reach the members above.
    QNetworkAccessManager m_manager;
};
