#include "BatchOutput.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace BatchOutput {

QByteArray marker()
{
    const quint64 high = QRandomGenerator::system()->generate64();
    const quint64 low = QRandomGenerator::system()->generate64();
    return "dravik" + QByteArray::number(high, 36) + 'x' + QByteArray::number(low, 36);
}

QString writeOut(const QByteArray& marker)
{
    return u"\n"_s + QString::fromLatin1(marker) + u" %{exitcode} %{errormsg}\n"_s;
}

QList<Segment> split(QByteArrayView output, QByteArrayView marker)
{
    QList<Segment> segments;
    const QByteArray opening = '\n' + marker.toByteArray() + ' ';
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = output.indexOf(opening, start);
        const qsizetype lineEnd = at < 0 ? -1 : output.indexOf('\n', at + opening.size());
        if (lineEnd < 0)
            break;
        const QByteArrayView line = output.sliced(at + opening.size(), lineEnd - at - opening.size());
        const qsizetype space = line.indexOf(' ');
        bool valid = false;
        const int status = (space < 0 ? line : line.first(space)).toInt(&valid);
        segments.append({output.sliced(start, at - start), valid ? std::optional<int>(status) : std::optional<int>(-1),
                         space < 0 ? QString() : QString::fromUtf8(line.sliced(space + 1))});
        start = lineEnd + 1;
    }
    segments.append({output.sliced(start), std::nullopt, {}});
    return segments;
}

} // namespace BatchOutput
