#include "RemotePath.h"

#include "FTPError.h"
#include "L10n.h"
#include "TextRules.h"

#include <QStringList>

namespace RemotePath {

QString parent(const QString& path)
{
    QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!pieces.isEmpty())
        pieces.removeLast();
    return QLatin1Char('/') + pieces.join(QLatin1Char('/'));
}

QString joining(const QString& folder, const QString& name)
{
    qsizetype begin = 0;
    qsizetype end = folder.size();
    while (begin < end && folder.at(begin) == QLatin1Char('/'))
        ++begin;
    while (end > begin && folder.at(end - 1) == QLatin1Char('/'))
        --end;
    const QString inner = folder.mid(begin, end - begin);
    const QString prefix = inner.isEmpty() ? QStringLiteral("/") : QLatin1Char('/') + inner + QLatin1Char('/');
    return prefix + name;
}

QString lastComponent(const QString& path)
{
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

bool isValidName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !TextRules::containsLineBreak(name) && !TextRules::containsNul(name);
}

bool isUsable(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && !TextRules::containsLineBreak(path) && !TextRules::containsNul(path);
}

void checkTreeDeletion(const QString& path, int depth)
{
    if (depth > maximumDepth || path == QLatin1String("/"))
        throw FTPError::message(L("recursion_limit"));
}

} // namespace RemotePath
