#pragma once

#include "TemporaryFolder.h"

#include <QString>

// A certificate authority of the test process's own, a server certificate it signed for
// 127.0.0.1 and localhost, and a second, self-signed one that nobody trusts. Made once per
// process with openssl.
class TestCertificates {
public:
    static const TestCertificates& shared();

    QString authority() const { return folder.file(QStringLiteral("ca.crt")); }
    QString certificate() const { return folder.file(QStringLiteral("server.crt")); }
    QString key() const { return folder.file(QStringLiteral("server.key")); }
    QString untrustedCertificate() const { return folder.file(QStringLiteral("untrusted.crt")); }
    QString untrustedKey() const { return folder.file(QStringLiteral("untrusted.key")); }

    // Makes curl verify servers against the test authority alone.
    void trustInCurl() const;

private:
    TestCertificates();
    TemporaryFolder folder;
};
