#include "TestCertificates.h"

#include "CliTestRun.h"
#include "TemporaryFolder.h"

#include <stdexcept>

namespace TestCertificates {

QByteArray openssl(const QStringList& arguments)
{
    const CliTestRun run = CliTestRun::run(arguments, {}, QStringLiteral("/usr/bin/openssl"));
    if (run.exitStatus != 0)
        throw std::runtime_error("openssl " + arguments.join(' ').toStdString() + ": " + run.error.toStdString());
    return run.output;
}

QString file(const QString& name)
{
    static const TemporaryFolder folder;
    static const bool made = [] {
        const auto newKey = [](const QString& keyName) {
            return QStringList{"-newkey",
                               "ec",
                               "-pkeyopt",
                               "ec_paramgen_curve:prime256v1",
                               "-nodes",
                               "-keyout",
                               folder.file(keyName + ".key")};
        };
        const QString localhost = QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost");
        openssl(QStringList{"req", "-x509", "-days", "7", "-subj", "/CN=Dravik Test Authority", "-addext",
                            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                            "-out", folder.file("ca.crt")} +
                newKey("ca"));
        openssl(QStringList{"req", "-subj", "/CN=localhost", "-out", folder.file("server.csr")} + newKey("server"));
        const QString extensions = folder.write(
            "server.ext", (localhost + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n").toUtf8());
        openssl({"x509", "-req", "-days", "7", "-in", folder.file("server.csr"), "-CA", folder.file("ca.crt"), "-CAkey",
                 folder.file("ca.key"), "-CAcreateserial", "-extfile", extensions, "-out", folder.file("server.crt")});
        openssl(QStringList{"req", "-x509", "-days", "7", "-subj", "/CN=localhost", "-addext", localhost, "-out",
                            folder.file("untrusted.crt")} +
                newKey("untrusted"));
        return true;
    }();
    Q_UNUSED(made);
    return folder.file(name);
}

} // namespace TestCertificates
