#pragma once

#include "FileEntry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace CliOutput {

void printLine(const QString& line);
// One compact JSON object on one line.
void printJson(const QJsonObject& object);
// Entries in the given order as JSON lines: name, isDirectory, size and modified when known.
void printEntries(const QList<FileEntry>& entries);
QJsonObject entryJson(const FileEntry& entry);
// Throws std::system_error when the file cannot be read.
QByteArray readFile(const QString& path);

} // namespace CliOutput
