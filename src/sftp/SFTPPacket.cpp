#include "SFTPPacket.h"

#include "FTPError.h"
#include "L10n.h"
#include "RemotePath.h"

#include <QTimeZone>

namespace SFTPPacket {

void malformed()
{
    throw FTPError::message(L("operation_failed"));
}

void u8(QByteArray& packet, quint8 value)
{
    packet.append(char(value));
}

void u32(QByteArray& packet, quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    packet.append(bytes, 4);
}

void u64(QByteArray& packet, quint64 value)
{
    u32(packet, quint32(value >> 32));
    u32(packet, quint32(value));
}

void blob(QByteArray& packet, QByteArrayView bytes)
{
    Q_ASSERT(quint64(bytes.size()) <= 0xFFFFFFFFu);
    u32(packet, quint32(bytes.size()));
    packet.append(bytes);
}

void text(QByteArray& packet, const QString& value)
{
    blob(packet, value.toUtf8());
}

void attributes(QByteArray& packet, std::optional<quint32> mode)
{
    if (!mode) {
        u32(packet, 0);
        return;
    }
    u32(packet, Attribute::permissions);
    u32(packet, *mode);
}

QByteArrayView take(qint64 count, Reader& reader)
{
    if (count < 0 || count > reader.buffer.size() - reader.position)
        malformed();
    const QByteArrayView piece = reader.buffer.sliced(reader.position, count);
    reader.position += count;
    return piece;
}

quint8 u8(Reader& reader)
{
    return quint8(take(1, reader)[0]);
}

quint32 u32(Reader& reader)
{
    const QByteArrayView bytes = take(4, reader);
    return quint32(quint8(bytes[0])) << 24 | quint32(quint8(bytes[1])) << 16 | quint32(quint8(bytes[2])) << 8 |
           quint32(quint8(bytes[3]));
}

quint64 u64(Reader& reader)
{
    const quint64 high = u32(reader);
    return high << 32 | u32(reader);
}

QByteArrayView blob(Reader& reader)
{
    return take(qint64(u32(reader)), reader);
}

FileEntry attributes(const QString& name, Reader& reader)
{
    FileEntry entry;
    entry.name = name;
    const quint32 flags = u32(reader);
    if (flags & Attribute::size) {
        const quint64 size = u64(reader);
        // A size that does not fit a signed 64-bit count is nonsense, not a huge file.
        if (size >> 63)
            malformed();
        entry.size = qint64(size);
    }
    if (flags & Attribute::owner)
        take(8, reader);
    quint32 permissions = 0;
    if (flags & Attribute::permissions)
        permissions = u32(reader);
    if (flags & Attribute::times) {
        u32(reader);
        entry.modified = QDateTime::fromSecsSinceEpoch(qint64(u32(reader)), QTimeZone::utc());
    }
    if (flags & Attribute::extended) {
        const quint32 count = u32(reader);
        if (count > extendedPairLimit)
            malformed();
        for (quint32 pair = 0; pair < count; ++pair) {
            blob(reader);
            blob(reader);
        }
    }
    entry.isDirectory = (permissions & fileType) == directoryType;
    if ((permissions & fileType) == regularFileType)
        entry.permissions = permissions & 07777;
    if ((permissions & fileType) == symbolicLinkType)
        entry.markSymbolicLink();
    return entry;
}

static void expectType(quint8 type, Reader& reply)
{
    if (u8(reply) != type)
        malformed();
}

QByteArrayView handleReply(Reader& reply)
{
    expectType(Type::handle, reply);
    return blob(reply);
}

QByteArrayView dataReply(Reader& reply)
{
    expectType(Type::data, reply);
    return blob(reply);
}

FileEntry attrsReply(const QString& name, Reader& reply)
{
    expectType(Type::attrs, reply);
    return attributes(name, reply);
}

// For servers that leave the permissions out of the attributes. Only a long name in the form of
// "ls -l" counts: some servers put the bare file name there.
static bool isLinkLongName(QByteArrayView longName)
{
    constexpr QByteArrayView modeLetters("rwxsStT-");
    if (longName.size() < 11 || longName.front() != 'l')
        return false;
    for (char c : longName.sliced(1, 9))
        if (!modeLetters.contains(c))
            return false;
    return true;
}

void nameReply(Reader& reply, QList<FileEntry>& entries)
{
    expectType(Type::name, reply);
    const quint32 count = u32(reply);
    if (count == 0 || count > quint32(listingLimit) || entries.size() + qsizetype(count) > listingLimit)
        malformed();
    for (quint32 index = 0; index < count; ++index) {
        const QByteArrayView filename = blob(reply);
        const QByteArrayView longName = blob(reply);
        FileEntry entry = attributes(QString::fromUtf8(filename), reply);
        if (!entry.isDirectory && isLinkLongName(longName))
            entry.markSymbolicLink();
        if (RemotePath::isValidName(entry.name))
            entries.append(std::move(entry));
    }
}

quint32 statusCode(Reader& reply)
{
    return u32(reply);
}

QList<QByteArray> extensionNames(Reader& reply)
{
    QList<QByteArray> names;
    try {
        while (reply.position < reply.buffer.size() && names.size() < qsizetype(extendedPairLimit)) {
            const QByteArrayView name = blob(reply);
            blob(reply);
            names.append(name.toByteArray());
        }
    } catch (const FTPError&) {
    }
    return names;
}

} // namespace SFTPPacket
