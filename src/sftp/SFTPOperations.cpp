#include "SFTPOperations.h"

#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"
#include "RemotePath.h"
#include "SFTPFailure.h"
#include "SFTPPacket.h"
#include "SFTPRequestWindow.h"
#include "SFTPWire.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace SFTPOperations {

namespace {

bool isEndOfFile(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const SFTPFailure& e) {
        return e.status() == SFTPPacket::Status::endOfFile;
    } catch (...) {
        return false;
    }
}

QByteArray handlePayload(QByteArrayView handle)
{
    QByteArray payload;
    SFTPPacket::blob(payload, handle);
    return payload;
}

void closeHandle(SFTPWire& wire, QByteArrayView handle)
{
    wire.request(SFTPPacket::Type::close, handlePayload(handle));
}

// For the way out after a failure, when the first failure is the one that counts.
void closeHandleQuietly(SFTPWire& wire, QByteArrayView handle) noexcept
{
    try {
        closeHandle(wire, handle);
    } catch (...) {
    }
}

void setHandlePermissions(SFTPWire& wire, QByteArrayView handle, quint32 mode)
{
    QByteArray payload = handlePayload(handle);
    SFTPPacket::attributes(payload, mode);
    try {
        wire.request(SFTPPacket::Type::fsetstat, payload);
    } catch (const SFTPFailure&) {
        // The file keeps the mode it was created with, which is never wider.
    }
}

void reportProgress(const Progress& progress, qint64 position, qint64 size)
{
    if (progress)
        progress(std::min(double(position) / double(size), 1.0));
}

// Overwrites a big-endian field of `octets` octets that the payload already holds.
void writeAt(QByteArray& payload, qsizetype at, quint64 value, int octets)
{
    for (int index = 0; index < octets; ++index)
        payload[at + index] = char(value >> (8 * (octets - 1 - index)));
}

// Whether anything, a link that leads nowhere included, has the name `path`.
bool isTaken(SFTPWire& wire, const QString& path)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    try {
        SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::lstat, payload);
        SFTPPacket::attrsReply(RemotePath::lastComponent(path), reply);
        return true;
    } catch (const SFTPFailure&) {
        return false;
    }
}

} // namespace

FileEntry stat(SFTPWire& wire, const QString& path)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::stat, payload);
    return SFTPPacket::attrsReply(RemotePath::lastComponent(path), reply);
}

std::optional<FileEntry> entry(SFTPWire& wire, const QString& path)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    const QString name = RemotePath::lastComponent(path);
    try {
        SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::lstat, payload);
        FileEntry found = SFTPPacket::attrsReply(name, reply);
        // Without the permissions only a listing's long name tells a link.
        if (RemotePath::isValidName(name) && (found.isDirectory || found.permissions || found.isSymbolicLink))
            return found;
    } catch (const SFTPFailure&) {
        // Whether the name is missing or the folder unreadable, the listing says as it always did.
    }
    for (FileEntry& listed : list(wire, RemotePath::parent(path)))
        if (listed.name == name)
            return std::move(listed);
    return std::nullopt;
}

QByteArray open(SFTPWire& wire, const QString& path, quint32 flags, std::optional<quint32> mode)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    SFTPPacket::u32(payload, flags);
    SFTPPacket::attributes(payload, mode);
    SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::open, payload);
    return SFTPPacket::handleReply(reply).toByteArray();
}

QList<FileEntry> list(SFTPWire& wire, const QString& path)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    SFTPPacket::Reader opened = wire.request(SFTPPacket::Type::opendir, payload);
    const QByteArray handle = SFTPPacket::handleReply(opened).toByteArray();
    const QByteArray readdir = handlePayload(handle);

    QList<FileEntry> entries;
    try {
        for (;;) {
            SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::readdir, readdir);
            SFTPPacket::nameReply(reply, entries);
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        closeHandleQuietly(wire, handle);
        if (!isEndOfFile(failure))
            throw;
    }
    return FileEntry::sorted(std::move(entries));
}

void download(SFTPWire& wire, const QString& remotePath, LocalFile& local, std::optional<qint64> offset,
              const Progress& progress)
{
    const std::optional<qint64> size = stat(wire, remotePath).size;
    const QByteArray handle = open(wire, remotePath, OpenFlag::read);
    qint64 position = offset.value_or(0);
    try {
        local.seek(position, SEEK_SET);
    } catch (...) {
        closeHandleQuietly(wire, handle);
        throw;
    }

    // One payload for every READ; only its offset and length change.
    QByteArray payload = handlePayload(handle);
    const qsizetype offsetAt = payload.size();
    SFTPPacket::u64(payload, 0);
    SFTPPacket::u32(payload, 0);
    SFTPRequestWindow window(wire);
    const auto issueRead = [&](qint64 at, qint64 length, bool first) {
        writeAt(payload, offsetAt, quint64(at), 8);
        writeAt(payload, offsetAt + 8, quint64(length), 4);
        window.issue(SFTPPacket::Type::read, payload, at, length, first);
    };
    // Requests stop at the known size, where one more finds the end of the file; the last chunk
    // before it asks for no more than is there, so that its short answer means nothing. A file
    // that grows past the size moves the limit along.
    qint64 limit = size ? std::max(*size, position) : std::numeric_limits<qint64>::max();
    qint64 next = position;
    try {
        for (;;) {
            while (window.hasRoom() && next <= limit) {
                const qint64 length = next < limit ? std::min(chunkSize, limit - next) : chunkSize;
                issueRead(next, length, false);
                next += length;
            }
            SFTPRequestWindow::Answer answer = window.next();
            SFTPWire::checkStatus(answer.reply);
            const QByteArrayView data = SFTPPacket::dataReply(answer.reply);
            // Data that does not move the position forward would loop for ever.
            if (data.isEmpty() || data.size() > answer.length)
                SFTPPacket::malformed();
            // A short answer is not the end: the rest is asked for again, ahead of everything
            // already in flight.
            if (data.size() < answer.length)
                issueRead(answer.offset + data.size(), answer.length - data.size(), true);
            local.write(data);
            position += data.size();
            limit = std::max(limit, position);
            if (size && *size > 0)
                reportProgress(progress, position, *size);
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        window.drain();
        if (!isEndOfFile(failure)) {
            closeHandleQuietly(wire, handle);
            throw;
        }
    }
    if (size && *size != position) {
        closeHandleQuietly(wire, handle);
        SFTPPacket::malformed();
    }
    closeHandle(wire, handle);
}

void upload(SFTPWire& wire, LocalFile& local, const QString& remotePath, bool overwrite, std::optional<qint64> offset,
            const Progress& progress, std::optional<quint32> permissions)
{
    const qint64 size = local.seek(0, SEEK_END);
    quint32 flags = OpenFlag::write | OpenFlag::create | (overwrite ? OpenFlag::truncate : OpenFlag::exclusive);
    if (offset) {
        const std::optional<qint64> remoteSize = stat(wire, remotePath).size;
        if (remoteSize != offset)
            throw FTPError::message(L("destination_changed"));
        flags = OpenFlag::write;
    }
    QByteArray handle;
    try {
        handle = open(wire, remotePath, flags, permissions);
    } catch (const SFTPFailure&) {
        // An exclusive open is refused alike for a name that is taken and for a folder that takes
        // no files; only the first means the destination changed since the upload was planned.
        if ((flags & OpenFlag::exclusive) != 0 && isTaken(wire, remotePath))
            throw FTPError::message(L("destination_changed"));
        throw;
    }
    SFTPRequestWindow window(wire);
    try {
        if (permissions)
            setHandlePermissions(wire, handle, *permissions);
        qint64 position = local.seek(offset.value_or(0), SEEK_SET);
        // Each chunk is read straight into its place in the WRITE payload, which the pipe has
        // copied by the time the next one is read.
        QByteArray payload = handlePayload(handle);
        const qsizetype offsetAt = payload.size();
        const qsizetype lengthAt = offsetAt + 8;
        const qsizetype dataAt = lengthAt + 4;
        payload.resize(dataAt + chunkSize);
        bool more = true;
        for (;;) {
            while (more && window.hasRoom()) {
                const qint64 got = local.read(payload.data() + dataAt, chunkSize);
                more = got > 0;
                if (!more)
                    break;
                writeAt(payload, offsetAt, quint64(position), 8);
                writeAt(payload, lengthAt, quint64(got), 4);
                window.issue(SFTPPacket::Type::write, QByteArrayView(payload).first(dataAt + got), position, got);
                position += got;
            }
            if (window.isEmpty())
                break;
            const SFTPRequestWindow::Answer answer = window.next();
            SFTPWire::checkStatus(answer.reply);
            if (size != 0)
                reportProgress(progress, answer.offset + answer.length, size);
        }
    } catch (...) {
        window.drain();
        closeHandleQuietly(wire, handle);
        throw;
    }
    closeHandle(wire, handle);
}

void command(SFTPWire& wire, quint8 type, const QString& path, const std::optional<QString>& destination,
             std::optional<quint32> mode)
{
    QByteArray payload;
    SFTPPacket::text(payload, path);
    if (destination)
        SFTPPacket::text(payload, *destination);
    if (mode || type == SFTPPacket::Type::mkdir)
        SFTPPacket::attributes(payload, mode);
    wire.request(type, payload);
}

void renameReplacing(SFTPWire& wire, const QString& path, const QString& to)
{
    QByteArray payload;
    SFTPPacket::blob(payload, posixRename);
    SFTPPacket::text(payload, path);
    SFTPPacket::text(payload, to);
    wire.request(SFTPPacket::Type::extended, payload);
}

// For what a failure left behind, while the connection allows.
static void removeQuietly(SFTPWire& wire, const QString& path) noexcept
{
    try {
        command(wire, SFTPPacket::Type::remove, path, std::nullopt, std::nullopt);
    } catch (...) {
    }
}

bool uploadReplacing(SFTPWire& wire, LocalFile& local, const QString& temporary, const QString& to,
                     const Progress& progress)
{
    // A renamed-in file would otherwise have the mode of any new file, a secret's 0600 become
    // 0644 and a script lose its execute bits. A file gone meanwhile has none to keep.
    std::optional<quint32> permissions;
    try {
        permissions = stat(wire, to).permissions;
    } catch (const SFTPFailure&) {
    }
    try {
        upload(wire, local, temporary, false, std::nullopt, progress, permissions);
    } catch (...) {
        removeQuietly(wire, temporary);
        throw;
    }
    try {
        renameReplacing(wire, temporary, to);
        return true;
    } catch (const SFTPFailure&) {
        // Announced, yet refused: some servers forbid the request or the file system.
        removeQuietly(wire, temporary);
        return false;
    }
}

void deleteTree(SFTPWire& wire, const QString& path, bool directory, int depth, std::stop_token token)
{
    RemotePath::checkTreeDeletion(path, depth);
    CancellationError::check(token);
    if (!directory) {
        command(wire, SFTPPacket::Type::remove, path, std::nullopt, std::nullopt);
        return;
    }
    for (const FileEntry& entry : list(wire, path))
        deleteTree(wire, RemotePath::joining(path, entry.name), entry.isDirectory, depth + 1, token);
    command(wire, SFTPPacket::Type::rmdir, path, std::nullopt, std::nullopt);
}

} // namespace SFTPOperations
