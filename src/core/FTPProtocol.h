#pragma once

#include <QList>
#include <QString>
#include <optional>

// The four protocols a profile can use, in the order the connection editor offers them.
enum class FTPProtocol { explicitTLS, ftp, implicitTLS, sftp };

namespace FTPProtocols {

const QList<FTPProtocol>& allCases();
QString rawValue(FTPProtocol protocol);
std::optional<FTPProtocol> fromRawValue(const QString& raw);
// Computed on every call so that it follows the interface language.
QString label(FTPProtocol protocol);
int defaultPort(FTPProtocol protocol);
bool usesTLS(FTPProtocol protocol);

} // namespace FTPProtocols
