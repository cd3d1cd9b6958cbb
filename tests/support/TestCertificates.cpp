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

} // namespace

const TestCertificates& TestCertificates::shared()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
{
    const auto newKey = [](const QString& key) {
        return QStringList{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key};
    };
    openssl(QStringList{"req", "-x509", "-days", "7", "-subj", "/CN=Dravik Test Authority", "-addext",
                        "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign", "-out",
                        authority()} +
            newKey(folder.file("ca.key")));
    openssl(QStringList{"req", "-subj", "/CN=localhost", "-out", folder.file("server.csr")} + newKey(key()));
    const QString extensions =
        folder.write("server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                                   "extendedKeyUsage=serverAuth\n");
    openssl({"x509", "-req", "-days", "7", "-in", folder.file("server.csr"), "-CA", authority(), "-CAkey",
             folder.file("ca.key"), "-CAcreateserial", "-extfile", extensions, "-out", certificate()});
    openssl(QStringList{"req", "-x509", "-days", "7", "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=IP:127.0.0.1,DNS:localhost", "-out", untrustedCertificate()} +
            newKey(untrustedKey()));
}

void TestCertificates::trustInCurl() const
{
    qputenv("CURL_CA_BUNDLE", authority().toUtf8());
}
