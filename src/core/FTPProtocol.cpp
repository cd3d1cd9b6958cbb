#include "FTPProtocol.h"

#include "L10n.h"

namespace FTPProtocols {

const QList<FTPProtocol>& allCases()
{
    static const QList<FTPProtocol> cases = {FTPProtocol::explicitTLS, FTPProtocol::ftp, FTPProtocol::implicitTLS,
                                             FTPProtocol::sftp};
    return cases;
}

QString rawValue(FTPProtocol protocol)
{
    switch (protocol) {
    case FTPProtocol::explicitTLS: return QStringLiteral("explicitTLS");
    case FTPProtocol::ftp: return QStringLiteral("ftp");
    case FTPProtocol::implicitTLS: return QStringLiteral("implicitTLS");
    case FTPProtocol::sftp: return QStringLiteral("sftp");
    }
    return {};
}

std::optional<FTPProtocol> fromRawValue(const QString& raw)
{
    for (FTPProtocol protocol : allCases())
        if (rawValue(protocol) == raw)
            return protocol;
    return std::nullopt;
}

QString label(FTPProtocol protocol)
{
    switch (protocol) {
    case FTPProtocol::explicitTLS: return L("tls_explicit");
    case FTPProtocol::ftp: return L("ftp_plain");
    case FTPProtocol::implicitTLS: return L("tls_implicit");
    case FTPProtocol::sftp: return QStringLiteral("SFTP · SSH");
    }
    return {};
}

int defaultPort(FTPProtocol protocol)
{
    switch (protocol) {
    case FTPProtocol::implicitTLS: return 990;
    case FTPProtocol::sftp: return 22;
    default: return 21;
    }
}

bool usesTLS(FTPProtocol protocol)
{
    return protocol == FTPProtocol::explicitTLS || protocol == FTPProtocol::implicitTLS;
}

} // namespace FTPProtocols
