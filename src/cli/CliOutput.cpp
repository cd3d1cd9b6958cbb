#include "CliOutput.h"

#include "SystemCall.h"
#include "TextRules.h"

#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace CliOutput {

namespace {

void write(const QString& line, FILE* stream)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

// Aligned as ls -l aligns them; a date or size the server did not give stays blank.
QString entryLine(const FileEntry& entry)
{
    const QString modified = entry.modified ? entry.modified->toLocalTime().toString(u"yyyy-MM-dd HH:mm"_s) : QString();
    const QString size = entry.size && !entry.isDirectory ? QString::number(*entry.size) : QString();
    return modified.leftJustified(16) + u"  "_s + size.rightJustified(12) + u"  "_s + entry.name +
           (entry.isDirectory ? u"/"_s : QString());
}

} // namespace

void printLine(const QString& line)
{
    write(TextRules::visible(line), stdout);
}

void printError(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = TextRules::visible(line);
    write(lines.join(QLatin1Char('\n')), stderr);
}

void printJson(const QJsonObject& object)
{
    // The encoder escapes the C0 controls but passes DEL and the C1 controls through; they can
    // only stand inside strings, where an escape means the same character.
    QString text = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        if (c >= 0x7F && c <= 0x9F) {
            const QString escape = QStringLiteral("\\u00") + QString::number(c, 16);
            text.replace(at, 1, escape);
            at += escape.size() - 1;
        }
    }
    write(text, stdout);
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

Format takeFormatOption(QStringList& words)
{
    return words.removeAll(u"--json"_s) > 0 ? Format::json : Format::text;
}

void printEntries(const QList<FileEntry>& entries, Format format)
{
    for (const FileEntry& entry : entries) {
        if (format == Format::json)
            printJson(entryJson(entry));
        else
            printLine(entryLine(entry));
    }
    std::fflush(stdout);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        SystemCall::fail("open", path, errno ? errno : ENOENT);
    return file.readAll();
}

} // namespace CliOutput
