#include "HostKeyPinning.h"

#include <QCryptographicHash>

namespace HostKeyPinning {

QString normalised(const std::optional<QString>& fingerprint)
{
    QString text = fingerprint.value_or(QString());
    text.remove(QStringLiteral("SHA256:"));
    text.remove(QLatin1Char('='));
    return text;
}

QString fingerprint(const QByteArray& keyBlob)
{
    const QByteArray digest = QCryptographicHash::hash(keyBlob, QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals));
}

QStringList acceptedLines(const QByteArray& scanOutput, const std::optional<QString>& pinned)
{
    const QString expected = normalised(pinned);
    QStringList accepted;
    const QStringList lines = QString::fromUtf8(scanOutput).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (pieces.size() != 3 || line.startsWith(QLatin1Char('#')))
            continue;
        const auto key = QByteArray::fromBase64Encoding(pieces[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (key && fingerprint(key.decoded) == expected)
            accepted.append(line);
    }
    return accepted;
}

} // namespace HostKeyPinning
