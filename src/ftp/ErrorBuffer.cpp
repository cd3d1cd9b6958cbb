#include "ErrorBuffer.h"

#include <QList>
#include <QStringList>

void ErrorBuffer::append(QByteArrayView chunk)
{
    if (chunk.size() >= capacity) {
        bytes = chunk.last(capacity).toByteArray();
        return;
    }
    bytes.append(chunk);
    if (bytes.size() > capacity)
        bytes.remove(0, bytes.size() - capacity);
}

QString ErrorBuffer::diagnosticLines() const
{
    // The progress bar redraws itself with carriage returns, so a message printed after it shares
    // its "line" up to the last return; splitting at both keeps the message clean.
    static const QList<QChar> breaks{QLatin1Char('\n'), QLatin1Char('\r')};
    QStringList found;
    qsizetype start = 0;
    const QString text = QString::fromUtf8(bytes);
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !breaks.contains(text.at(i)))
            continue;
        const QStringView line = QStringView(text).mid(start, i - start);
        if (line.contains(QLatin1String("curl:")))
            found << line.toString();
        start = i + 1;
    }
    return found.mid(qMax<qsizetype>(0, found.size() - reportedLines)).join(QLatin1Char('\n'));
}
