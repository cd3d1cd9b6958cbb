#include "ListingParser.h"

#include "FTPError.h"
#include "L10n.h"
#include "RemotePath.h"
#include "TextRules.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

namespace ListingParser {
namespace {

// \\s and \\d as ICU reads them: a no-break space between columns or fullwidth digits are no reason
// to fail a whole listing.
constexpr QRegularExpression::PatternOptions patternOptions =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

// Groups 1..n of a match over the whole line; a group that took no part yields "".
std::optional<QStringList> captures(const QRegularExpression& pattern, const QString& line)
{
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    QStringList groups;
    for (int group = 1; group <= pattern.captureCount(); ++group)
        groups << match.captured(group);
    return groups;
}

bool isAsciiDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// toLongLong alone would also read "12\t" and stop at a NUL.
std::optional<qint64> decimal(QStringView text)
{
    if (!isAsciiDigits(text.startsWith(u'+') || text.startsWith(u'-') ? text.mid(1) : text))
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<QDateTime> mlsdTime(QStringView fact)
{
    if (fact.size() < 14)
        return std::nullopt;
    const QStringView digits = fact.left(14);
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const QDate date(digits.mid(0, 4).toInt(), digits.mid(4, 2).toInt(), digits.mid(6, 2).toInt());
    const QTime time(digits.mid(8, 2).toInt(), digits.mid(10, 2).toInt(), digits.mid(12, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

// "0644" or "644"; anything else, or bits beyond 07777, is no mode.
std::optional<quint32> octalMode(QStringView text)
{
    if (text.isEmpty() || text.size() > 6)
        return std::nullopt;
    quint32 mode = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('7'))
            return std::nullopt;
        mode = mode * 8 + quint32(c.unicode() - u'0');
    }
    return mode <= 07777 ? std::optional(mode) : std::nullopt;
}

// The nine permission letters of a long listing, such as "rwsr-x--T", as mode bits; a letter out
// of its place makes the mode unknown.
std::optional<quint32> symbolicMode(QStringView letters)
{
    quint32 mode = 0;
    for (int index = 0; index < 9; ++index) {
        const char16_t c = letters[index].unicode();
        const quint32 bit = 1u << (8 - index);
        // Set-user-ID, set-group-ID and sticky share the execute column of their triple.
        const quint32 special = 04000u >> (index / 3);
        const bool other = index == 8;
        if (c == u'-')
            continue;
        if ((index % 3 == 0 && c == u'r') || (index % 3 == 1 && c == u'w') || (index % 3 == 2 && c == u'x'))
            mode |= bit;
        else if (index % 3 == 2 && c == (other ? u't' : u's'))
            mode |= bit | special;
        else if (index % 3 == 2 && c == (other ? u'T' : u'S'))
            mode |= special;
        else
            return std::nullopt;
    }
    return mode;
}

// The facts an entry needs. A fact given twice counts with its last value. Scanned in place:
// large folders list tens of thousands of lines with a dozen facts each.
struct Facts {
    std::optional<QStringView> type;
    std::optional<QStringView> size;
    std::optional<QStringView> modify;
    std::optional<QStringView> mode;
};

Facts facts(QStringView text)
{
    Facts result;
    for (QStringView piece : text.tokenize(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(QLatin1Char('='));
        if (equals <= 0 || equals == piece.size() - 1)
            continue;
        const QStringView key = piece.left(equals);
        const QStringView value = piece.mid(equals + 1);
        if (key.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0)
            result.type = value;
        else if (key.compare(QLatin1String("size"), Qt::CaseInsensitive) == 0)
            result.size = value;
        else if (key.compare(QLatin1String("modify"), Qt::CaseInsensitive) == 0)
            result.modify = value;
        else if (key.compare(QLatin1String("unix.mode"), Qt::CaseInsensitive) == 0)
            result.mode = value;
    }
    return result;
}

// Servers name links in the type ("OS.unix=symlink", "OS.unix=slink:/target") or give the file
// type bits of the mode.
bool isLink(const Facts& found)
{
    if (found.type->startsWith(QLatin1String("os.unix=symlink"), Qt::CaseInsensitive) ||
        found.type->startsWith(QLatin1String("os.unix=slink"), Qt::CaseInsensitive))
        return true;
    bool ok = false;
    const uint mode = found.mode ? found.mode->toUInt(&ok, 8) : 0;
    return ok && (mode & 0170000) == 0120000;
}

bool isFolderSelfEntry(const QString& line)
{
    const QString lower = line.toLower();
    return lower.contains(QLatin1String("type=cdir;")) || lower.contains(QLatin1String("type=pdir;"));
}

} // namespace

std::optional<FileEntry> mlsd(const QString& line)
{
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space < 0)
        return std::nullopt;
    const QStringView factText = QStringView(line).left(space);
    if (!factText.contains(QLatin1Char('=')) || !factText.contains(QLatin1Char(';')))
        return std::nullopt;
    const Facts found = facts(factText);
    if (!found.type)
        return std::nullopt;
    if (found.type->compare(QLatin1String("cdir"), Qt::CaseInsensitive) == 0 ||
        found.type->compare(QLatin1String("pdir"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    const bool file = found.type->compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
    FileEntry entry{line.mid(space + 1), found.type->compare(QLatin1String("dir"), Qt::CaseInsensitive) == 0,
                    found.size ? decimal(*found.size) : std::nullopt,
                    found.modify ? mlsdTime(*found.modify) : std::nullopt};
    if (file && found.mode)
        entry.permissions = octalMode(*found.mode);
    if (!entry.isDirectory && isLink(found))
        entry.markSymbolicLink();
    return entry;
}

std::optional<FileEntry> unixListing(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([bcdlps-])([rwxstST-]{9})[+@.]?\\s+\\d+\\s+\\S+\\s+\\S+\\s+"
                       "(\\d+(?:,\\s*\\d+)?)\\s+\\S+\\s+\\d+\\s+[\\d:]+\\s(.*)$"),
        patternOptions);
    const auto groups = captures(pattern, line);
    if (!groups || groups->size() != 4)
        return std::nullopt;
    const QString& type = groups->at(0);
    // A device gives "major, minor" where the size would be, which reads as no size. A link's own
    // letters say nothing of the file it leads to.
    FileEntry entry{groups->at(3), type == QLatin1String("d"), decimal(groups->at(2)), std::nullopt};
    if (type == QLatin1String("-"))
        entry.permissions = symbolicMode(groups->at(1));
    if (type == QLatin1String("l")) {
        const qsizetype arrow = entry.name.indexOf(QLatin1String(" -> "));
        if (arrow >= 0)
            entry.name.truncate(arrow);
        entry.markSymbolicLink();
    }
    return entry;
}

std::optional<FileEntry> dos(const QString& line)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{2}-\\d{2}-\\d{2,4}\\s+\\d{2}:\\d{2}[AP]M\\s+(<DIR>|\\d+)\\s+(.+)$"), patternOptions);
    const auto groups = captures(pattern, line);
    if (!groups)
        return std::nullopt;
    const bool folder = groups->at(0) == QLatin1String("<DIR>");
    const bool marker = groups->at(0).compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0;
    return FileEntry{groups->at(1), folder, marker ? std::nullopt : decimal(groups->at(0)), std::nullopt};
}

static QList<QStringView> lines(const QString& text)
{
    QList<QStringView> result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        // Most characters of a listing lie between the two ranges of line breaks.
        if (c > 0x0D && c < 0x85)
            continue;
        if (TextRules::isLineBreak(c)) {
            result << QStringView(text).mid(start, i - start);
            start = i + 1;
        }
    }
    result << QStringView(text).mid(start);
    return result;
}

static QString withoutCarriageReturns(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin) == QLatin1Char('\r'))
        ++begin;
    while (end > begin && line.at(end - 1) == QLatin1Char('\r'))
        --end;
    return line.mid(begin, end - begin).toString();
}

QList<FileEntry> parse(const QString& text)
{
    QList<FileEntry> entries;
    int unrecognised = 0;
    for (QStringView raw : lines(text)) {
        const QString line = withoutCarriageReturns(raw);
        if (line.isEmpty() || line.startsWith(QLatin1String("total ")))
            continue;
        std::optional<FileEntry> entry = mlsd(line);
        if (!entry)
            entry = unixListing(line);
        if (!entry)
            entry = dos(line);
        if (entry) {
            if (RemotePath::isValidName(entry->name))
                entries.append(std::move(*entry));
        } else if (!isFolderSelfEntry(line)) {
            ++unrecognised;
        }
    }
    if (unrecognised > 0)
        throw FTPError::message(L("unknown_listing", QString::number(unrecognised)));
    return FileEntry::sorted(std::move(entries));
}

} // namespace ListingParser
