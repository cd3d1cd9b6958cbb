#pragma once

#include <QString>
#include <QUrl>

// Where the update check may fetch from: the update server as the feed's URL names it, over https,
// on the same port, without credentials. Another port of the same host may be another program.
class UpdateRedirectPolicy {
public:
    explicit UpdateRedirectPolicy(QUrl feed) : m_feed(std::move(feed)) {}

    bool allows(const QUrl& target) const
    {
        constexpr int httpsPort = 443;
        return target.scheme() == u"https" && target.host() == m_feed.host() &&
               target.port(httpsPort) == m_feed.port(httpsPort) && target.userInfo().isEmpty();
    }

private:
    QUrl m_feed;
};
