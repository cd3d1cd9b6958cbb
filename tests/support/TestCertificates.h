#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A certificate authority of the test process's own ("ca"), a server certificate it signed for
// 127.0.0.1 and localhost ("server") and a self-signed one that nobody trusts ("untrusted"), each
// as NAME.crt and NAME.key. Made once per process.
namespace TestCertificates {
QString file(const QString& name);
// What openssl printed; throws with its diagnostics when it fails.
QByteArray openssl(const QStringList& arguments);
} // namespace TestCertificates
