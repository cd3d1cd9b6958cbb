#include "TestCertificates.h"

#include <QProcess>
#include <stdexcept>

namespace {

void openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("openssl " + arguments.join(' ').toStdString() + ": " +
                                 process.readAll().toStdString());
}

QStringList newKey(const QString& key)
{
    return {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), key};
}

}

const TestCertificates& TestCertificates::shared()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
{
    const QStringList days{QStringLiteral("-days"), QStringLiteral("7")};
    openssl(QStringList{"req", "-x509", "-subj", "/CN=Dravik Test Authority", "-addext",
                        "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                        "-out", authority()} +
            newKey(folder.file("ca.key")) + days);
    openssl(QStringList{"req", "-subj", "/CN=localhost", "-out", folder.file("server.csr")} + newKey(key()));
    const QString extensions = folder.write(
        "server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                      "extendedKeyUsage=serverAuth\n");
    openssl(QStringList{"x509", "-req", "-in", folder.file("server.csr"), "-CA", authority(), "-CAkey",
                        folder.file("ca.key"), "-CAcreateserial", "-extfile", extensions, "-out", certificate()} +
            days);
    openssl(QStringList{"req", "-x509", "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=IP:127.0.0.1,DNS:localhost", "-out", untrustedCertificate()} +
            newKey(untrustedKey()) + days);
}

void TestCertificates::trustInCurl() const
{
    qputenv("CURL_CA_BUNDLE", authority().toUtf8());
}
