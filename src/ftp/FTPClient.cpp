#include "FTPClient.h"

#include "CancellationError.h"
#include "CurlProcess.h"
#include "DownloadCheckpoint.h"
#include "EngineClock.h"
#include "FTPError.h"
#include "L10n.h"
#include "ListingCommand.h"
#include "ListingParser.h"
#include "LocalFile.h"
#include "PartialDownload.h"
#include "RemotePath.h"
#include "SecretMemory.h"

#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <array>
#include <chrono>
#include <fcntl.h>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

const QStringList fixedArguments{
    QStringLiteral("--disable"),
    QStringLiteral("--config"),
    QStringLiteral("-"),
    QStringLiteral("--globoff"),
    QStringLiteral("--proto"),
    QStringLiteral("=ftp,ftps"),
    QStringLiteral("--noproxy"),
    QStringLiteral("*"),
    QStringLiteral("--connect-timeout"),
    QStringLiteral("15"),
    QStringLiteral("--speed-time"),
    QStringLiteral("60"),
    QStringLiteral("--speed-limit"),
    QStringLiteral("1"),
    QStringLiteral("--ftp-pasv"),
    QStringLiteral("--ftp-skip-pasv-ip"),
    QStringLiteral("--show-error"),
};
const QStringList commandTime{QStringLiteral("--max-time"), QStringLiteral("45")};
constexpr std::array transientStatuses{6, 7, 18, 28, 52, 55, 56};
constexpr int retries = 2;
// curl's status when a command of "--quote" was refused.
constexpr int quoteRefused = 21;

FTPError destinationChanged()
{
    return FTPError::message(L("destination_changed"));
}

// Get and put name one file: a path ending in "/" would have curl append a name of its own.
void validateFilePath(const QString& path)
{
    FTPClient::validateCommandPath(path);
    if (path.endsWith(QLatin1Char('/')))
        throw FTPError::message(L("remote_file_required"));
}

// The upload source, opened once: a link or anything but a regular file is refused, even one
// swapped in after the user picked the file.
LocalFile openSource(const QString& file)
{
    try {
        LocalFile source = LocalFile::open(file, O_RDONLY);
        if (source.attributes().isRegularFile)
            return source;
    } catch (const std::filesystem::filesystem_error& e) {
        if (e.code() != std::errc::too_many_symbolic_link_levels)
            throw;
    }
    throw FTPError::message(L("regular_file_required"));
}

} // namespace

FTPClient::FTPClient(ServerProfile profile, QString password)
    : serverProfile(std::move(profile)), password(std::move(password))
{
}

bool FTPClient::usesSFTP() const
{
    return serverProfile.protocolType == FTPProtocol::sftp;
}

SFTPClient FTPClient::sftp() const
{
    return SFTPClient(serverProfile, password);
}

bool FTPClient::isTransient(const std::exception_ptr& error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const FTPError& e) {
        return e.kind() == FTPError::Kind::command &&
               std::find(transientStatuses.begin(), transientStatuses.end(), e.exitStatus()) != transientStatuses.end();
    } catch (...) {
        return false;
    }
}

QString FTPClient::escapeConfig(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    escaped.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    escaped.replace(QLatin1Char('\v'), QLatin1String("\\v"));
    return escaped;
}

void FTPClient::validateCommandPath(const QString& path)
{
    if (!RemotePath::isUsable(path))
        throw FTPError::message(L("invalid_remote_path"));
}

QString FTPClient::url(const QString& path, bool directory) const
{
    serverProfile.validate();
    validateCommandPath(path);
    QUrl server;
    server.setScheme(serverProfile.protocolType == FTPProtocol::implicitTLS ? QStringLiteral("ftps")
                                                                            : QStringLiteral("ftp"));
    server.setHost(serverProfile.host);
    server.setPort(int(serverProfile.port));
    if (!server.isValid() || server.host().isEmpty())
        throw FTPError::message(L("invalid_address"));
    QString urlPath = QLatin1Char('/') + path;
    if (directory && !path.endsWith(QLatin1Char('/')))
        urlPath += QLatin1Char('/');
    // Everything but the unreserved characters is encoded, ";" included: curl would otherwise
    // read a name containing ";type=" as a transfer-mode suffix.
    return server.toString(QUrl::FullyEncoded) + QString::fromLatin1(QUrl::toPercentEncoding(urlPath, "/"));
}

QStringList FTPClient::arguments(const QString& path, bool directory, const QStringList& extra, bool withProgress) const
{
    QStringList words = fixedArguments;
    words << (withProgress ? QStringLiteral("--progress-bar") : QStringLiteral("--silent"));
    if (FTPProtocols::usesTLS(serverProfile.protocolType))
        words << QStringLiteral("--ssl-reqd") << QStringLiteral("--tlsv1.2");
    words << extra << QStringLiteral("--url") << url(path, directory);
    return words;
}

QByteArray FTPClient::execute(const QString& path, bool directory, const QStringList& extra, const Progress& progress,
                              std::stop_token token, int outputFile, int uploadFile) const
{
    ServerProfile::validatePassword(password);
    const QStringList words = arguments(path, directory, extra, bool(progress));
    const SecretMemory::Copy credentials(serverProfile.username + QLatin1Char(':') + password);
    const SecretMemory::Copy config(u"user = \""_s + escapeConfig(credentials.text()) + u"\"\n"_s);
    try {
        return CurlProcess::run(words, config.text(), progress, token, outputFile, uploadFile);
    } catch (const FTPError& error) {
        if (error.kind() != FTPError::Kind::command || password.isEmpty())
            throw;
        throw FTPError::command(error.exitStatus(),
                                QString(error.detail()).replace(password, QStringLiteral("\u2022\u2022\u2022\u2022")));
    }
}

QList<FileEntry> FTPClient::list(const QString& path, std::stop_token token) const
{
    for (int attempt = 0;; ++attempt) {
        try {
            return listOnce(path, token);
        } catch (...) {
            if (attempt == retries || !isTransient(std::current_exception()))
                throw;
        }
        EngineClock::current().sleep(std::chrono::seconds(2 + 2 * attempt), token);
    }
}

QList<FileEntry> FTPClient::listing(const QString& path, const QStringList& extra, std::stop_token token) const
{
    return ListingParser::parse(QString::fromUtf8(execute(path, true, extra, {}, token)));
}

QList<FileEntry> FTPClient::listOnce(const QString& path, std::stop_token token) const
{
    if (usesSFTP())
        return sftp().list(path, token);
    using Kind = ListingCommand::Kind;
    const Kind first = ListingCommand::first(serverProfile);
    bool refusedSoFar = true;
    for (Kind kind = first;; kind = Kind(int(kind) + 1)) {
        try {
            QList<FileEntry> entries = listing(path, ListingCommand::words(kind) + commandTime, token);
            if (kind != first && refusedSoFar)
                ListingCommand::remember(serverProfile, kind);
            return entries;
        } catch (const CancellationError&) {
            throw;
        } catch (...) {
            CancellationError::check(token);
            const bool refused = ListingCommand::isRefusal(std::current_exception());
            refusedSoFar = refusedSoFar && refused;
            // MLSD gives way on any failure, output nobody can read included; "LIST -a" only
            // when the server refuses the option, as any other failure would hit LIST too.
            if (kind == Kind::list || (kind == Kind::listAll && !refused))
                throw;
        }
    }
}

void FTPClient::command(const QStringList& quotes, std::stop_token token) const
{
    QStringList extra;
    for (const QString& quote : quotes)
        extra << QStringLiteral("--quote") << quote;
    extra << QStringLiteral("--head") << commandTime;
    execute(QStringLiteral("/"), true, extra, {}, token);
}

void FTPClient::createDirectory(const QString& path, std::stop_token token) const
{
    validateCommandPath(path);
    if (usesSFTP())
        return sftp().createDirectory(path, token);
    command({QStringLiteral("MKD ") + path}, token);
}

void FTPClient::ensureDirectory(const QString& path, std::stop_token token) const
{
    try {
        createDirectory(path, token);
        return;
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
    }
    list(path, token);
}

void FTPClient::rename(const QString& path, const QString& to, std::stop_token token) const
{
    validateCommandPath(path);
    validateCommandPath(to);
    if (usesSFTP())
        return sftp().rename(path, to, token);
    command({QStringLiteral("RNFR ") + path, QStringLiteral("RNTO ") + to}, token);
}

void FTPClient::deleteItem(const QString& path, bool directory, std::stop_token token) const
{
    validateCommandPath(path);
    if (path == QLatin1String("/"))
        throw FTPError::message(L("root_delete"));
    if (usesSFTP())
        return sftp().remove(path, directory, token);
    command({(directory ? QStringLiteral("RMD ") : QStringLiteral("DELE ")) + path}, token);
}

void FTPClient::deleteTree(const QString& path, bool directory, int depth, std::stop_token token) const
{
    RemotePath::checkTreeDeletion(path, depth);
    CancellationError::check(token);
    // One session for the whole tree, rather than a connection and a host-key scan per entry.
    if (usesSFTP()) {
        validateCommandPath(path);
        return sftp().deleteTree(path, directory, depth, token);
    }
    if (!directory) {
        deleteItem(path, false, token);
        return;
    }
    for (const FileEntry& entry : list(path, token))
        deleteTree(RemotePath::joining(path, entry.name), entry.isDirectory, depth + 1, token);
    deleteItem(path, true, token);
}

void FTPClient::permissions(const QString& path, const QString& mode, std::stop_token token) const
{
    validateCommandPath(path);
    const bool octal = mode.size() == 3 && std::all_of(mode.begin(), mode.end(), [](QChar c) {
                           return c >= QLatin1Char('0') && c <= QLatin1Char('7');
                       });
    if (!octal)
        throw FTPError::message(L("invalid_permissions"));
    if (usesSFTP())
        return sftp().setPermissions(path, mode.toUInt(nullptr, 8), token);
    command({QStringLiteral("SITE CHMOD ") + mode + QLatin1Char(' ') + path}, token);
}

void FTPClient::removeQuietly(const QString& path, std::stop_token token) const
{
    try {
        command({u"DELE "_s + path}, token);
    } catch (...) {
    }
}

std::optional<FileEntry> FTPClient::remoteEntry(const QString& path, std::stop_token token) const
{
    const QString name = RemotePath::lastComponent(path);
    for (const FileEntry& entry : list(RemotePath::parent(path), token))
        if (entry.name == name)
            return entry;
    return std::nullopt;
}

void FTPClient::upload(const QString& file, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                       const Progress& progress, std::stop_token token) const
{
    validateFilePath(to);
    LocalFile source = openSource(file);
    if (!overwrite || resumeOffset) {
        const std::optional<FileEntry> entry = remoteEntry(to, token);
        if (resumeOffset) {
            const qint64 offset = *resumeOffset;
            if (offset < 1 || !entry || entry->isDirectory || entry->size != offset ||
                source.attributes().size <= offset)
                throw destinationChanged();
        } else if (entry) {
            throw destinationChanged();
        }
    }
    if (usesSFTP())
        return sftp().upload(source, to, overwrite, resumeOffset, progress, token);
    // curl reads the file through the descriptor opened here, never through its path.
    QStringList extra{QStringLiteral("--upload-file"), QStringLiteral("/dev/fd/3")};
    if (resumeOffset)
        extra << QStringLiteral("--continue-at") << QString::number(*resumeOffset);
    execute(to, false, extra, progress, token, -1, source.descriptor());
}

QString FTPClient::temporaryName(const QString& path)
{
    return RemotePath::joining(RemotePath::parent(path),
                               u'.' + RemotePath::lastComponent(path) + u".dravik-upload-"_s +
                                   QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0'));
}

void FTPClient::replace(const QString& file, const QString& to, std::optional<quint32> permissions,
                        const std::function<void()>& directWrite, const Progress& progress, std::stop_token token) const
{
    validateFilePath(to);
    LocalFile source = openSource(file);
    const QString temporary = temporaryName(to);
    if (usesSFTP())
        return sftp().replace(source, temporary, to, directWrite, progress, token);
    // The rename follows the upload on the same control connection, once the server confirmed it.
    const QStringList upload{u"--upload-file"_s, u"/dev/fd/3"_s};
    QStringList afterUpload;
    // "*": a server without SITE CHMOD still takes the file, with the mode of a new one.
    if (permissions)
        afterUpload << u"--quote"_s
                    << u"-*SITE CHMOD "_s + QString::number(*permissions, 8).rightJustified(3, u'0') + u' ' + temporary;
    afterUpload << u"--quote"_s << u"-RNFR "_s + temporary << u"--quote"_s << u"-RNTO "_s + to;
    try {
        execute(temporary, false, upload + afterUpload, progress, token, -1, source.descriptor());
        return;
    } catch (const FTPError& error) {
        if (error.kind() != FTPError::Kind::command || error.exitStatus() != quoteRefused) {
            removeQuietly(temporary, token);
            throw;
        }
    }
    directWrite();
    // The copy the server would not rename goes first, in the same run; "*" lets a refusal pass.
    execute(to, false, QStringList{u"--quote"_s, u"*DELE "_s + temporary} + upload, progress, token, -1,
            source.descriptor());
}

void FTPClient::download(const QString& path, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                         std::optional<QUuid> checkpointID, bool resumeCheckpoint, const Progress& progress,
                         std::stop_token token) const
{
    validateFilePath(path);
    std::optional<FileEntry> entry;
    if (checkpointID) {
        entry = remoteEntry(path, token);
        if (!entry || entry->isDirectory)
            throw FTPError::message(L("inaccessible"));
    }
    // Without a known size (a link's, say) no checkpoint could ever be resumed: keeping the
    // partial file would only leave it behind.
    PartialDownload partial(to, checkpointID.value_or(QUuid::createUuid()), entry && entry->size);
    std::optional<qint64> offset;
    std::optional<qint64> expectedSize;
    if (checkpointID) {
        if (resumeCheckpoint) {
            offset = DownloadCheckpoint::offset(to, *checkpointID, serverProfile, path, *entry);
            if (!offset)
                throw destinationChanged();
        } else {
            partial.setAside();
        }
        partial.saveCheckpoint(serverProfile, path, *entry);
        expectedSize = entry->size;
    }
    if (resumeOffset) {
        partial.openDestination(*resumeOffset);
        // Both kinds of resume at once need the remote entry only once.
        if (!checkpointID)
            entry = remoteEntry(path, token);
        if (!entry || entry->isDirectory || !entry->size || *entry->size <= *resumeOffset)
            throw destinationChanged();
        offset = resumeOffset;
        expectedSize = entry->size;
    }

    LocalFile& file = partial.open(offset);
    if (usesSFTP()) {
        sftp().download(path, file, offset, progress, token);
    } else {
        QStringList extra;
        if (offset)
            extra << QStringLiteral("--continue-at") << QString::number(*offset);
        // curl writes to standard output, which is the partial file opened here. Given the file
        // with "--output" it would open it by path and truncate it, and ext4 then writes the whole
        // download back to disk the moment curl closes it (its replace-by-truncate heuristic),
        // halving the throughput.
        execute(path, false, extra, progress, token, file.descriptor());
    }
    CancellationError::check(token);
    partial.install(expectedSize, overwrite);
}
