#include "CurlProgress.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>

namespace CurlProgress {

std::optional<double> fraction(QByteArrayView chunk)
{
    static const QRegularExpression percentage(QStringLiteral("(\\d{1,3}\\.\\d+)%"));
    const QString text = QString::fromUtf8(chunk);
    QRegularExpressionMatch last;
    for (QRegularExpressionMatchIterator it = percentage.globalMatch(text); it.hasNext();)
        last = it.next();
    if (!last.hasMatch())
        return std::nullopt;
    return std::clamp(last.capturedView(1).toDouble() / 100.0, 0.0, 1.0);
}

}
