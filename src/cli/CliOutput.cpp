#include "CliOutput.h"

#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace CliOutput {

void printLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void printJson(const QJsonObject& object)
{
    printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

QJsonObject entryJson(const FileEntry& entry)
{
    QJsonObject object{{QStringLiteral("name"), entry.name}, {QStringLiteral("isDirectory"), entry.isDirectory}};
    if (entry.size)
        object.insert(QStringLiteral("size"), *entry.size);
    if (entry.modified)
        object.insert(QStringLiteral("modified"), entry.modified->toUTC().toString(Qt::ISODate));
    return object;
}

void printEntries(const QList<FileEntry>& entries)
{
    for (const FileEntry& entry : entries)
        printJson(entryJson(entry));
    std::fflush(stdout);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::system_error(errno ? errno : ENOENT, std::generic_category(), path.toStdString());
    return file.readAll();
}

} // namespace CliOutput
