#pragma once

#include "FileEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// SFTP version 3 packets: encoders that append to a buffer and decoders that read a buffer in
// place. Every decoder fails with FTPError "operation_failed" on a buffer too short for its field.
namespace SFTPPacket {

namespace Type {
inline constexpr quint8 init = 1;
inline constexpr quint8 version = 2;
inline constexpr quint8 open = 3;
inline constexpr quint8 close = 4;
inline constexpr quint8 read = 5;
inline constexpr quint8 write = 6;
inline constexpr quint8 lstat = 7;
inline constexpr quint8 setstat = 9;
inline constexpr quint8 fsetstat = 10;
inline constexpr quint8 opendir = 11;
inline constexpr quint8 readdir = 12;
inline constexpr quint8 remove = 13;
inline constexpr quint8 mkdir = 14;
inline constexpr quint8 rmdir = 15;
inline constexpr quint8 stat = 17;
inline constexpr quint8 rename = 18;
inline constexpr quint8 status = 101;
inline constexpr quint8 handle = 102;
inline constexpr quint8 data = 103;
inline constexpr quint8 name = 104;
inline constexpr quint8 attrs = 105;
inline constexpr quint8 extended = 200;
} // namespace Type

namespace Status {
inline constexpr quint32 ok = 0;
inline constexpr quint32 endOfFile = 1;
} // namespace Status

namespace Attribute {
inline constexpr quint32 size = 0x00000001;
inline constexpr quint32 owner = 0x00000002;
inline constexpr quint32 permissions = 0x00000004;
inline constexpr quint32 times = 0x00000008;
inline constexpr quint32 extended = 0x80000000;
} // namespace Attribute

// The file-type field of the permissions, as in stat(2).
inline constexpr quint32 fileType = 0xF000;
inline constexpr quint32 directoryType = 0x4000;
inline constexpr quint32 regularFileType = 0x8000;
inline constexpr quint32 symbolicLinkType = 0xA000;

inline constexpr qint64 frameLimit = 4 * 1024 * 1024;
inline constexpr qsizetype listingLimit = 50'000;
inline constexpr quint32 extendedPairLimit = 999;

// A received packet being decoded: the buffer is never modified, only the position advances.
struct Reader {
    QByteArrayView buffer;
    qint64 position = 0;
};

void u8(QByteArray& packet, quint8 value);
void u32(QByteArray& packet, quint32 value);
void u64(QByteArray& packet, quint64 value);
void blob(QByteArray& packet, QByteArrayView bytes);
void text(QByteArray& packet, const QString& value);
// Flags 0 when `mode` is absent, else the permissions flag and the mode.
void attributes(QByteArray& packet, std::optional<quint32> mode);

QByteArrayView take(qint64 count, Reader& reader);
quint8 u8(Reader& reader);
quint32 u32(Reader& reader);
quint64 u64(Reader& reader);
QByteArrayView blob(Reader& reader);
// An attribute block as the entry called `name`.
FileEntry attributes(const QString& name, Reader& reader);

// Reply bodies, read from a reader positioned at the reply's type octet. A reply of another
// type fails with "operation_failed".
QByteArrayView handleReply(Reader& reply);
QByteArrayView dataReply(Reader& reply);
FileEntry attrsReply(const QString& name, Reader& reply);
// Appends the entries of a NAME reply that carry usable names; fails when the reply announces
// no entry or would bring `entries` beyond the listing limit.
void nameReply(Reader& reply, QList<FileEntry>& entries);
// The code of a STATUS reply, read from the position after the request identifier.
quint32 statusCode(Reader& reply);
// The names of the extensions a VERSION reply announces, read from the position after its
// version number. A torn or overlong list ends where it stops making sense: a server that
// describes its extensions badly still serves the plain protocol.
QList<QByteArray> extensionNames(Reader& reply);

[[noreturn]] void malformed();

} // namespace SFTPPacket
