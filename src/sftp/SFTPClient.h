#pragma once

#include "FileEntry.h"
#include "ServerProfile.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

class LocalFile;

// The SFTP engine's face: every operation is a session of its own (one ssh process, one
// handshake) that is torn down before the call returns; only the first session with a host scans
// its key. Copies are interchangeable.
// Operations block the calling thread; a stop request terminates ssh and surfaces as
// CancellationError.
class SFTPClient {
public:
    using Progress = std::function<void(double)>;

    SFTPClient(ServerProfile profile, QString password);

    QList<FileEntry> list(const QString& path, std::stop_token token) const;
    FileEntry stat(const QString& path, std::stop_token token) const;
    // The entry at `path` as its folder's listing shows it, or nothing when there is none.
    std::optional<FileEntry> entry(const QString& path, std::stop_token token) const;

    // Asks, in the session of the download it precedes, for the remote entry as entry() gives it.
    using Lookup = std::function<std::optional<FileEntry>()>;
    // The local file a download writes, which the caller opened and checked, never a path resolved
    // again, and where it starts.
    struct Destination {
        LocalFile* file;
        std::optional<qint64> offset;
    };
    // A download whose checks come first in its own session: `prepare` may look the remote entry
    // up, and either throws or names the destination.
    void download(const QString& remotePath, const std::function<Destination(const Lookup&)>& prepare,
                  const Progress& progress, std::stop_token token) const;
    // Into or out of a local file that the caller opened and checked, never a path resolved again.
    void download(const QString& remotePath, LocalFile& localFile, std::optional<qint64> offset,
                  const Progress& progress, std::stop_token token) const;
    void upload(LocalFile& localFile, const QString& remotePath, bool overwrite, std::optional<qint64> offset,
                const Progress& progress, std::stop_token token) const;
    // Leaves the server with its old file or the new one, never a part of it: the file is written
    // to `temporary` in the same folder, with the permissions of the file it replaces, and renamed
    // over `remotePath`, all in one session. Where the server cannot rename over a file,
    // `directWrite` is called and `remotePath` written directly. A temporary file left by a
    // failure is removed while the connection allows.
    void replace(LocalFile& localFile, const QString& temporary, const QString& remotePath,
                 const std::function<void()>& directWrite, const Progress& progress, std::stop_token token) const;

    void createDirectory(const QString& path, std::stop_token token) const;
    void rename(const QString& path, const QString& to, std::stop_token token) const;
    void remove(const QString& path, bool directory, std::stop_token token) const;
    void setPermissions(const QString& path, quint32 mode, std::stop_token token) const;
    // A whole tree in one session, rather than one session for each entry.
    void deleteTree(const QString& path, bool directory, int depth, std::stop_token token) const;

    const ServerProfile& profile() const { return serverProfile; }

private:
    template <typename Body> auto session(std::stop_token token, Body&& body) const;
    // One single-request command; `type` is an SFTPPacket::Type request.
    void command(quint8 type, const QString& path, const std::optional<QString>& destination,
                 std::optional<quint32> mode, std::stop_token token) const;

    ServerProfile serverProfile;
    QString password;
};
