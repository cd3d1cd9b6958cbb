#pragma once

#include "Loopback.h"
#include "TemporaryFolder.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Python's HTTPS server on a free loopback port with a certificate of the test authority (or one
// nobody trusts), serving the files the test puts. SSL_CERT_FILE names the test authority from
// then on, as CURL_CA_BUNDLE does for the FTP servers.
class HTTPSServer {
public:
    explicit HTTPSServer(bool untrustedCertificate = false);

    // "127.0.0.1:PORT".
    QString address() const;
    QString url(const QString& path) const { return QStringLiteral("https://") + address() + path; }
    void put(const QString& path, const QByteArray& bytes) const;
    // `path` answers with `status` and a Location header.
    void redirect(const QString& path, const QString& location, int status = 302);
    // `path` is announced as `length` octets, sends its file, and then holds the connection open.
    void stall(const QString& path, qint64 length);

private:
    void writeRoutes() const;

    TemporaryFolder folder;
    QJsonObject routes;
    ServerProcess server;
};
