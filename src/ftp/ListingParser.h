#pragma once

#include "FileEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Turns the text curl prints for a directory URL into entries. Every line is tried as MLSD facts,
// then as a Unix long listing, then as a DOS listing; one line that none of them reads fails the
// whole listing, so that a folder is never shown incompletely without notice.
namespace ListingParser {

// Throws FTPError "unknown_listing" with the number of unreadable lines.
QList<FileEntry> parse(const QString& text);

std::optional<FileEntry> mlsd(const QString& line);
std::optional<FileEntry> unixListing(const QString& line);
std::optional<FileEntry> dos(const QString& line);

} // namespace ListingParser
