#pragma once

#include "FileEntry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// What dravik-cli prints. Names come from servers and shared folders, so no control character
// reaches the terminal as it is: text shows them as \xHH, JSON as \u escapes.
namespace CliOutput {

void printLine(const QString& line);
// On standard error; each line of `text` shown as printLine shows it.
void printError(const QString& text);
// One compact JSON object on one line.
void printJson(const QJsonObject& object);
// Records for a person to read, or for a script: one JSON object per line.
enum class Format { text, json };
// Removes --json from `words`.
Format takeFormatOption(QStringList& words);

// Entries in the given order: as text, one line each with date, size and name (folders end in a
// slash); as JSON, name, isDirectory, size and modified when known.
void printEntries(const QList<FileEntry>& entries, Format format);
QJsonObject entryJson(const FileEntry& entry);
// Throws std::system_error when the file cannot be read.
QByteArray readFile(const QString& path);

} // namespace CliOutput
