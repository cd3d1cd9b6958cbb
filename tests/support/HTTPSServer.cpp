#include "HTTPSServer.h"

#include "TestCertificates.h"

#include <QJsonDocument>

HTTPSServer::HTTPSServer(bool untrustedCertificate)
{
    qputenv("SSL_CERT_FILE", TestCertificates::file("ca.crt").toUtf8());
    const QString certificate = TestCertificates::file(untrustedCertificate ? "untrusted" : "server");
    server.startPrintingPort({.program = "/usr/bin/python3",
                              .arguments = {DRAVIK_SOURCE_DIR "/tests/support/HTTPSServer.py", folder.path(),
                                            certificate + ".crt", certificate + ".key"},
                              .environment = std::nullopt,
                              .discardStandardError = true});
}

QString HTTPSServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server.port());
}

void HTTPSServer::put(const QString& path, const QByteArray& bytes) const
{
    folder.write("files" + path, bytes);
}

void HTTPSServer::redirect(const QString& path, const QString& location, int status)
{
    routes.insert(path, QJsonObject{{"location", location}, {"status", status}});
    writeRoutes();
}

void HTTPSServer::stall(const QString& path, qint64 length)
{
    routes.insert(path, QJsonObject{{"length", length}});
    writeRoutes();
}

void HTTPSServer::writeRoutes() const
{
    folder.write("routes.json", QJsonDocument(routes).toJson());
}
