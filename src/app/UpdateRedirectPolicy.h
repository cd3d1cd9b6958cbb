#pragma once

#include <QString>
#include <QUrl>

// Which redirects the update check follows: only those that stay on the update server and on https.
class UpdateRedirectPolicy {
public:
    explicit UpdateRedirectPolicy(QString serverHost) : host(std::move(serverHost)) {}

    bool allows(const QUrl& target) const { return target.scheme() == u"https" && target.host() == host; }

private:
    QString host;
};
