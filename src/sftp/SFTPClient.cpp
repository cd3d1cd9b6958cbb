#include "SFTPClient.h"

#include "RemotePath.h"
#include "SFTPOperations.h"
#include "SFTPPacket.h"
#include "SFTPWire.h"

#include <stop_token>

SFTPClient::SFTPClient(ServerProfile profile, QString serverPassword)
    : serverProfile(std::move(profile)), password(std::move(serverPassword))
{
}

template <typename Body> auto SFTPClient::session(std::stop_token token, Body&& body) const
{
    SFTPWire wire;
    // Registered before anything starts: a stop that came earlier cancels at once, so no
    // process is ever launched.
    std::stop_callback onStop(token, [&wire] { wire.cancel(); });
    struct Closer {
        SFTPWire& wire;
        ~Closer() { wire.close(); }
    } closer{wire};
    wire.start(serverProfile, password);
    return body(wire);
}

QList<FileEntry> SFTPClient::list(const QString& path, std::stop_token token) const
{
    return session(token, [&](SFTPWire& wire) { return SFTPOperations::list(wire, path); });
}

FileEntry SFTPClient::stat(const QString& path, std::stop_token token) const
{
    return session(token, [&](SFTPWire& wire) { return SFTPOperations::stat(wire, path); });
}

std::optional<FileEntry> SFTPClient::entry(const QString& path, std::stop_token token) const
{
    return session(token, [&](SFTPWire& wire) { return SFTPOperations::entry(wire, path); });
}

void SFTPClient::download(const QString& remotePath, LocalFile& localFile, std::optional<qint64> offset,
                          const Progress& progress, std::stop_token token) const
{
    download(
        remotePath,
        [&](const Lookup&) {
            return Destination{&localFile, offset};
        },
        progress, token);
}

void SFTPClient::download(const QString& remotePath, const std::function<Destination(const Lookup&)>& prepare,
                          const Progress& progress, std::stop_token token) const
{
    session(token, [&](SFTPWire& wire) {
        const Destination destination = prepare([&] { return SFTPOperations::entry(wire, remotePath); });
        SFTPOperations::download(wire, remotePath, *destination.file, destination.offset, progress);
    });
}

void SFTPClient::upload(LocalFile& localFile, const QString& remotePath, bool overwrite, std::optional<qint64> offset,
                        const Progress& progress, std::stop_token token) const
{
    session(token,
            [&](SFTPWire& wire) { SFTPOperations::upload(wire, localFile, remotePath, overwrite, offset, progress); });
}

void SFTPClient::replace(LocalFile& localFile, const QString& temporary, const QString& remotePath,
                         const std::function<void()>& directWrite, const Progress& progress,
                         std::stop_token token) const
{
    session(token, [&](SFTPWire& wire) {
        if (wire.supports(SFTPOperations::posixRename) &&
            SFTPOperations::uploadReplacing(wire, localFile, temporary, remotePath, progress))
            return;
        directWrite();
        SFTPOperations::upload(wire, localFile, remotePath, true, std::nullopt, progress);
    });
}

void SFTPClient::command(quint8 type, const QString& path, const std::optional<QString>& destination,
                         std::optional<quint32> mode, std::stop_token token) const
{
    session(token, [&](SFTPWire& wire) { SFTPOperations::command(wire, type, path, destination, mode); });
}

void SFTPClient::createDirectory(const QString& path, std::stop_token token) const
{
    command(SFTPPacket::Type::mkdir, path, std::nullopt, std::nullopt, token);
}

void SFTPClient::rename(const QString& path, const QString& to, std::stop_token token) const
{
    command(SFTPPacket::Type::rename, path, to, std::nullopt, token);
}

void SFTPClient::remove(const QString& path, bool directory, std::stop_token token) const
{
    command(directory ? SFTPPacket::Type::rmdir : SFTPPacket::Type::remove, path, std::nullopt, std::nullopt, token);
}

void SFTPClient::setPermissions(const QString& path, quint32 mode, std::stop_token token) const
{
    command(SFTPPacket::Type::setstat, path, std::nullopt, mode, token);
}

void SFTPClient::deleteTree(const QString& path, bool directory, int depth, std::stop_token token) const
{
    // Refused before the session as well, so that a tree that may not be removed starts no ssh.
    RemotePath::checkTreeDeletion(path, depth);
    session(token, [&](SFTPWire& wire) { SFTPOperations::deleteTree(wire, path, directory, depth, token); });
}
