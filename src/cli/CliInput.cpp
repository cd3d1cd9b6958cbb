#include "CliInput.h"

#include "ServerProfile.h"

#include <QByteArray>
#include <cstdio>

namespace CliInput {

std::optional<QString> readLine()
{
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.append(static_cast<char>(c));
    if (c == EOF && line.isEmpty())
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString readPassword()
{
    const QString password = readLine().value_or(QString());
    ServerProfile::validatePassword(password);
    return password;
}

} // namespace CliInput
