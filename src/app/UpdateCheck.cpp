#include "UpdateCheck.h"

#include "BuildInfo.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "UpdatePackageFile.h"
#include "UpdateRedirectPolicy.h"

#include <QNetworkReply>
#include <QPromise>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Without a byte for this long a request fails; no download may last longer than the second.
constexpr int requestTimeout = 30 * 1000;
constexpr int resourceTimeout = 600 * 1000;

std::exception_ptr failure(const char* key, const QString& host = {})
{
    return std::make_exception_ptr(FTPError::message(L(key, host)));
}

template <typename T> QFuture<T> failed(std::exception_ptr error)
{
    QPromise<T> promise;
    promise.start();
    promise.setException(error);
    promise.finish();
    return promise.future();
}

// The failures of the connection itself name the update server, which the person never chose and
// would not otherwise know from the server they are connected to.
const char* networkKey(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError: return "update_host_not_found";
    case QNetworkReply::ConnectionRefusedError: return "update_connect_failed";
    case QNetworkReply::SslHandshakeFailedError: return "update_certificate";
    // Qt ends a transfer that stalls past its timeout as if it had been cancelled.
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError: return "update_timeout";
    default: return "update_unavailable";
    }
}

// 0 before the response has a status line.
int statusOf(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// Why a request that has finished failed, or nothing when it brought a whole answer of status 200.
std::exception_ptr failureOf(const QNetworkReply* reply, bool refused, bool cancelled, bool expired)
{
    if (refused)
        return failure("update_unavailable");
    if (cancelled)
        return std::make_exception_ptr(CancellationError());
    if (expired)
        return failure("update_timeout", reply->url().host());
    if (statusOf(reply) != 0 && statusOf(reply) != 200)
        return failure("update_unavailable");
    if (reply->error() != QNetworkReply::NoError)
        return failure(networkKey(reply->error()), reply->url().host());
    return nullptr;
}

// Like a private browsing session: no cookies, no cache, no stored credentials.
QNetworkRequest ephemeralRequest(const QUrl& url, const QSslConfiguration& tls)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(tls);
    request.setTransferTimeout(requestTimeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    return request;
}

// The system's authorities and the bundle that SSL_CERT_FILE names. Qt's TLS reads neither
// SSL_CERT_FILE nor SSL_CERT_DIR itself, so the variable is honoured here, in addition to the
// system's store (curl, for FTPS, honours CURL_CA_BUNDLE instead).
QSslConfiguration verifyingConfiguration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = QSslConfiguration::systemCaCertificates();
    if (const QString bundle = qEnvironmentVariable("SSL_CERT_FILE"); !bundle.isEmpty())
        authorities += QSslCertificate::fromPath(bundle, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    tls.setCaCertificates(authorities);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return tls;
}

} // namespace

UpdateCheck::UpdateCheck(QObject* parent) : QObject(parent), m_tls(verifyingConfiguration())
{
    m_manager.setAutoDeleteReplies(false);
}

UpdateCheck::~UpdateCheck()
{
    cancel();
}

QUrl UpdateCheck::feedURL()
{
    const QString configured = qEnvironmentVariable("DRAVIK_UPDATE_SERVER");
    QUrl url;
    url.setScheme(u"https"_s);
    url.setAuthority(configured.isEmpty() ? u"updates.dravik.app"_s : configured, QUrl::StrictMode);
    url.setPath(u"/updates.json"_s);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return QUrl();
    return url;
}

qint64 UpdateCheck::runningBuild()
{
    bool ok = false;
    const qint64 build = QString::fromLatin1(BuildInfo::buildNumber).toLongLong(&ok, 10);
    return ok && build >= 0 ? build : 0;
}

void UpdateCheck::cancel()
{
    // A reply that is no longer the current one ends as cancelled.
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->abort();
    }
}

QFuture<UpdateRelease> UpdateCheck::fetchRelease()
{
    const QUrl url = feedURL();
    auto feed = std::make_shared<QByteArray>();
    const auto hold = [feed](QByteArrayView octets) {
        if (octets.size() > UpdateRelease::maximumFeedBytes - feed->size())
            std::rethrow_exception(failure("update_invalid"));
        feed->append(octets);
    };
    return get<UpdateRelease>(url, hold, [feed, url] { return UpdateRelease::decode(*feed, url); });
}

QFuture<QString> UpdateCheck::downloadPackage(const UpdateRelease& release)
{
    std::shared_ptr<UpdatePackageFile> package;
    try {
        package = std::make_shared<UpdatePackageFile>(release);
    } catch (...) {
        return failed<QString>(std::current_exception());
    }
    return get<QString>(
        release.url, [package](QByteArrayView octets) { package->append(octets); },
        [package] { return package->install(); });
}

template <typename T> QFuture<T> UpdateCheck::get(const QUrl& url, Consume consume, std::function<T()> finish)
{
    cancel();
    if (!url.isValid())
        return failed<T>(failure("update_unavailable"));

    // Ends once; the callbacks go first, so that a partial package is gone when the future finishes.
    struct Step {
        QPromise<T> promise;
        Consume consume;
        std::function<T()> finish;
        bool refused = false;
        bool expired = false;
        bool ended = false;

        void end(std::exception_ptr error, std::optional<T> result = std::nullopt)
        {
            ended = true;
            consume = nullptr;
            finish = nullptr;
            if (result)
                promise.addResult(std::move(*result));
            else
                promise.setException(error);
            promise.finish();
        }
    };
    auto step = std::make_shared<Step>();
    step->consume = std::move(consume);
    step->finish = std::move(finish);
    step->promise.start();
    QFuture<T> future = step->promise.future();

    QNetworkReply* reply = m_manager.get(ephemeralRequest(url, m_tls));
    m_reply = reply;

    QTimer::singleShot(resourceTimeout, reply, [step, reply] {
        step->expired = true;
        reply->abort();
    });
    connect(reply, &QNetworkReply::redirected, reply,
            [step, reply, policy = UpdateRedirectPolicy(feedURL())](const QUrl& target) {
                if (policy.allows(target)) {
                    Q_EMIT reply->redirectAllowed();
                    return;
                }
                step->refused = true;
                reply->abort();
            });
    connect(reply, &QNetworkReply::readyRead, reply, [step, reply] {
        if (step->ended)
            return;
        try {
            if (statusOf(reply) != 200)
                std::rethrow_exception(failure("update_unavailable"));
            step->consume(reply->readAll());
        } catch (...) {
            step->end(std::current_exception());
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, step, reply] {
        reply->deleteLater();
        const bool cancelled = m_reply != reply;
        if (!cancelled)
            m_reply = nullptr;
        if (step->ended)
            return;
        if (const std::exception_ptr error = failureOf(reply, step->refused, cancelled, step->expired))
            return step->end(error);
        try {
            step->consume(reply->readAll());
            step->end(nullptr, step->finish());
        } catch (...) {
            step->end(std::current_exception());
        }
    });
    return future;
}
