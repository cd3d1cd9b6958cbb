#pragma once

#include "CurlProcess.h"
#include "FileEntry.h"
#include "LocalFile.h"
#include "RemotePath.h"
#include "SFTPClient.h"
#include "ServerProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>

// The one facade for remote files over every protocol. A plain value: it holds no connection, so
// copies may be used from several threads at once. Each FTP or FTPS operation is one curl run
// with its own login; only FTPBatch puts several files' transfers in one (runBatch). Every
// operation blocks; a stop request through its token ends it with
// CancellationError. Failures the user should read are FTPError.
class PartialDownload;

class FTPClient {
public:
    using Progress = std::function<void(double)>;

    static constexpr int maximumTreeDepth = RemotePath::maximumDepth;
    static constexpr qsizetype maximumPasswordBytes = ServerProfile::maximumPasswordBytes;

    FTPClient(ServerProfile profile, QString password);

    const ServerProfile& profile() const { return serverProfile; }

    // Entries in display order. Transient failures are retried twice, after 2 and then 4 seconds.
    QList<FileEntry> list(const QString& path, std::stop_token token) const;
    void createDirectory(const QString& path, std::stop_token token) const;
    // Creates the folder, or succeeds when it already exists.
    void ensureDirectory(const QString& path, std::stop_token token) const;
    void rename(const QString& path, const QString& to, std::stop_token token) const;
    // Deletes one file, or one empty folder when `directory` is true.
    void deleteItem(const QString& path, bool directory, std::stop_token token) const;
    // Deletes a folder with everything in it; symbolic links are deleted, never followed.
    void deleteTree(const QString& path, bool directory, int depth, std::stop_token token) const;
    // `mode` is exactly three octal digits, such as "755".
    void permissions(const QString& path, const QString& mode, std::stop_token token) const;
    // Without `overwrite` the destination must not exist; with `resumeOffset` it must be the
    // first `resumeOffset` bytes of the local file. `file` is opened once and never through a
    // symbolic link.
    void upload(const QString& file, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                const Progress& progress, std::stop_token token) const;
    // Overwrites the file at `to` so that the server holds the old content or the new, never a
    // part: the upload goes to a hidden name of Dravik's in the same folder (see temporaryName),
    // which is then renamed over `to` within the same curl run or SFTP session. The new file keeps
    // the old one's permissions: an SFTP session reads them itself; over FTP they are the
    // `permissions` the caller's listing showed for `to`, if any, and a server that will not set
    // them leaves the mode of a new file. Where the server cannot replace a file by rename,
    // `directWrite` is called and `to` is written directly.
    void replace(const QString& file, const QString& to, std::optional<quint32> permissions,
                 const std::function<void()>& directWrite, const Progress& progress, std::stop_token token) const;
    // Fetches into a hidden partial file beside `to` and installs it only after checking it. With
    // a `checkpointID` a failed or cancelled download keeps its partial file for a later resume.
    // Names in `to`'s folder are never followed through a symbolic link.
    void download(const QString& path, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                  std::optional<QUuid> checkpointID, bool resumeCheckpoint, const Progress& progress,
                  std::stop_token token) const;

    // The entry at `path` as its folder's listing shows it, or nothing when there is none. Where
    // the server can, only that entry is asked for, whatever the size of its folder.
    std::optional<FileEntry> entry(const QString& path, std::stop_token token) const;

    // One part of a run over several files: the file's path and its own options.
    struct BatchPart {
        QString path;
        QStringList extra;
    };
    // One curl run over several files of this server, which logs in once and goes on over the same
    // connection. Each part's replies and the line that ends it (BatchOutput, with `marker`) come on
    // standard output, shown to `received` as they arrive; `passedFiles` are "/dev/fd/3" and on.
    // Throws when the run as a whole fails; a failed part is only told in its line.
    void runBatch(const QList<BatchPart>& parts, const QByteArray& marker, const std::vector<int>& passedFiles,
                  const CurlProcess::Received& received, std::stop_token token) const;

    // The checks of a checked download against the remote entry as it is now: the file must be
    // there, and what a resume continues must still be the file it began with.
    static void checkSource(const std::optional<FileEntry>& entry, bool checkpointed,
                            const std::optional<FileEntry>& recorded, std::optional<qint64> resumeOffset);
    // An upload's source, opened once: a link or anything but a regular file is refused, even one
    // swapped in after the user picked the file.
    static LocalFile openSource(const QString& file);

    // `text` with the password, should it be there, hidden.
    QString masked(QString text) const;

    // Whether a failure is worth retrying: curl exit statuses of lost or failed connections.
    static bool isTransient(const std::exception_ptr& error);

    // The URL curl is given for `path`; a folder URL ends in "/".
    QString url(const QString& path, bool directory) const;
    // The text of one double-quoted value of curl's configuration syntax.
    static QString escapeConfig(const QString& text);
    // A fresh hidden name beside `path` for an upload that replaces it: ".<name>.dravik-upload-<8 hex digits>".
    static QString temporaryName(const QString& path);
    // Throws FTPError "invalid_remote_path" for a path unfit for a server command.
    static void validateCommandPath(const QString& path);

private:
    bool usesSFTP() const;
    // The SFTP engine over the same profile and password; each of its calls is a session.
    SFTPClient sftp() const;
    QList<FileEntry> listOnce(const QString& path, std::stop_token token) const;
    QList<FileEntry> listing(const QString& path, const QStringList& extra, std::stop_token token) const;
    void command(const QStringList& quotes, std::stop_token token) const;
    // For what a failure left behind: a refusal or a lost connection is let pass.
    void removeQuietly(const QString& path, std::stop_token token) const;
    // The listing entry of `path` in its parent folder, if there is one.
    std::optional<FileEntry> listedEntry(const QString& path, std::stop_token token) const;
    // `attempt` once, and again after 2 and then 4 seconds while it fails for a transient reason.
    template <typename Result> static Result retrying(const std::function<Result()>& attempt, std::stop_token token);
    // The downloads whose checks need a listing of the folder: over SFTP, and from servers without MLST.
    void downloadListed(const QString& path, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                        std::optional<QUuid> checkpointID, bool resumeCheckpoint, const Progress& progress,
                        std::stop_token token) const;
    // A checked FTP download in one curl run: the entry is asked for with MLST right before RETR
    // and checked once the bytes are in, which then go if it fails. False, with nothing written,
    // when the server could not say and the listing must decide.
    bool downloadProbed(const QString& path, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                        std::optional<QUuid> checkpointID, bool resumeCheckpoint, const Progress& progress,
                        std::stop_token token) const;
    // Where a probed download starts: the checkpoint it continues, if any. Nothing when the
    // listing must decide instead.
    struct ProbeStart {
        std::optional<FileEntry> recorded;
        std::optional<qint64> offset;
    };
    std::optional<ProbeStart> probeStart(const QString& path, const QString& to, std::optional<QUuid> checkpointID,
                                         bool resumeCheckpoint) const;
    // The curl run of a probed download: the server's replies, and how the run failed, if it did.
    struct ProbedRun {
        QByteArray replies;
        std::exception_ptr failure;
    };
    ProbedRun runProbed(const QString& path, PartialDownload& partial, LocalFile& file, std::optional<qint64> offset,
                        bool freshCheckpoint, const Progress& progress, std::stop_token token) const;
    // An upload that must not replace anything, checked in its own curl run: false, with nothing
    // stored, when the server could not say whether `to` is there and the listing must decide.
    bool uploadProbed(const LocalFile& source, const QString& to, const Progress& progress,
                      std::stop_token token) const;
    // After the server refused MLST for `path` with `code`.
    void learnFromRefusal(const QString& path, int code, std::stop_token token) const;
    // The credentials as a line of curl's configuration.
    QString userLine() const;
    // `run`'s result; a failure it throws tells no password.
    QByteArray masked(const std::function<QByteArray()>& run) const;
    // Options as lines of curl's configuration.
    static QString configLines(const QStringList& words);
    // The transfer options and, over TLS, the demand for it: what every file of a run is given.
    QStringList transferWords() const;
    QStringList arguments(const QString& path, bool directory, const QStringList& extra, bool withProgress) const;
    // `outputFile` becomes curl's standard output, `uploadFile` its "/dev/fd/3". With `replies`,
    // what curl writes to "/dev/fd/3" (or, with an `uploadFile`, to its standard output) is
    // returned and shown to `replies` as it comes.
    QByteArray execute(const QString& path, bool directory, const QStringList& extra, const Progress& progress,
                       std::stop_token token, int outputFile = -1, int uploadFile = -1,
                       const CurlProcess::Received& replies = {}) const;

    ServerProfile serverProfile;
    QString password;
};
