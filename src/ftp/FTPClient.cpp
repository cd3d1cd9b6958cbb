#include "FTPClient.h"

#include "CancellationError.h"
#include "CurlProcess.h"
#include "DownloadCheckpoint.h"
#include "EngineClock.h"
#include "FTPError.h"
#include "L10n.h"
#include "ListingParser.h"
#include "RemotePath.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

FTPError destinationChanged()
{
    return FTPError::message(L("destination_changed"));
}

QByteArray localName(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void throwFileError(int error, const QString& path)
{
    throw std::filesystem::filesystem_error(std::generic_category().message(error), localName(path).toStdString(),
                                            std::error_code(error, std::generic_category()));
}

// What a transfer checks about a local file, read without following a symbolic link.
struct LocalFile {
    bool regular = false;
    bool symbolicLink = false;
    qint64 size = 0;
    timespec modified{};

    static LocalFile read(const QString& path)
    {
        struct stat attributes {};
        if (::lstat(localName(path).constData(), &attributes) != 0)
            throwFileError(errno, path);
        return {S_ISREG(attributes.st_mode), S_ISLNK(attributes.st_mode), attributes.st_size, attributes.st_mtim};
    }

    bool sameModification(const LocalFile& other) const
    {
        return modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

bool existsAt(const QString& path)
{
    struct stat attributes {};
    return ::lstat(localName(path).constData(), &attributes) == 0;
}

qint64 sizeOf(const QString& path)
{
    return LocalFile::read(path).size;
}

void removeQuietly(const QString& path)
{
    ::unlink(localName(path).constData());
}

void moveAside(const QString& partial)
{
    const QString aside =
        partial + QLatin1Char('.') + ServerProfile::uuidText(QUuid::createUuid()) + QStringLiteral(".saved");
    if (::rename(localName(partial).constData(), localName(aside).constData()) != 0)
        throwFileError(errno, partial);
}

void preparePartial(const QString& partial)
{
    if (!existsAt(partial)) {
        const int fd = ::open(localName(partial).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            throw FTPError::message(L("inaccessible"));
        ::close(fd);
    }
    if (::chmod(localName(partial).constData(), 0600) != 0)
        throwFileError(errno, partial);
}

// Puts the finished partial file in place in one step. Without `overwrite` an existing
// destination is never replaced, not even one that appeared during the transfer.
void install(const QString& partial, const QString& to, bool overwrite)
{
    const QByteArray from = localName(partial);
    const QByteArray target = localName(to);
    if (overwrite && existsAt(to)) {
        if (::rename(from.constData(), target.constData()) != 0)
            throwFileError(errno, to);
        return;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        throwFileError(errno, to);
    // File systems without RENAME_NOREPLACE: a hard link fails just as surely on an existing name.
    if (::link(from.constData(), target.constData()) != 0)
        throwFileError(errno, to);
    ::unlink(from.constData());
}

// Runs `action` when the scope ends, however it ends.
template <typename Action> class ScopeExit {
public:
    explicit ScopeExit(Action action) : action(std::move(action)) {}
    ~ScopeExit() { action(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action;
};

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
                              std::stop_token token, int outputFile) const
{
    if (password.toUtf8().size() > maximumPasswordBytes)
        throw FTPError::message(L("long_password"));
    const QStringList words = arguments(path, directory, extra, bool(progress));
    const QString config = QStringLiteral("user = \"") +
                           escapeConfig(serverProfile.username + QLatin1Char(':') + password) + QStringLiteral("\"\n");
    try {
        return CurlProcess::run(words, config, progress, token, outputFile);
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
    // Servers without MLSD, or with MLSD output nobody can read, still answer a plain LIST.
    try {
        return listing(path, QStringList{QStringLiteral("--request"), QStringLiteral("MLSD")} + commandTime, token);
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
        CancellationError::check(token);
    }
    return listing(path, commandTime, token);
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
    if (depth > maximumTreeDepth || path == QLatin1String("/"))
        throw FTPError::message(L("recursion_limit"));
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
    const LocalFile local = LocalFile::read(file);
    if (!local.regular)
        throw FTPError::message(L("regular_file_required"));
    if (!overwrite || resumeOffset) {
        const std::optional<FileEntry> entry = remoteEntry(to, token);
        if (resumeOffset) {
            const qint64 offset = *resumeOffset;
            if (offset < 1 || !entry || entry->isDirectory || entry->size != offset || local.size <= offset)
                throw destinationChanged();
        } else if (entry) {
            throw destinationChanged();
        }
    }
    if (usesSFTP())
        return sftp().upload(file, to, overwrite, resumeOffset, progress, token);
    // An absolute path: curl reads a bare "-" as its own standard input.
    QStringList extra{QStringLiteral("--upload-file"), QFileInfo(file).absoluteFilePath()};
    if (resumeOffset)
        extra << QStringLiteral("--continue-at") << QString::number(*resumeOffset);
    execute(to, false, extra, progress, token);
}

void FTPClient::download(const QString& path, const QString& to, bool overwrite, std::optional<qint64> resumeOffset,
                         std::optional<QUuid> checkpointID, bool resumeCheckpoint, const Progress& progress,
                         std::stop_token token) const
{
    const QString partial = DownloadCheckpoint::file(to, checkpointID.value_or(QUuid::createUuid()));
    bool completed = false;
    const ScopeExit cleanUp([&] {
        if (completed || !checkpointID) {
            removeQuietly(partial);
            removeQuietly(DownloadCheckpoint::metadata(partial));
        }
    });

    std::optional<FileEntry> entry;
    std::optional<qint64> checkpointOffset;
    std::optional<qint64> checkpointSize;
    if (checkpointID) {
        entry = remoteEntry(path, token);
        if (!entry || entry->isDirectory)
            throw FTPError::message(L("inaccessible"));
        if (resumeCheckpoint) {
            checkpointOffset = DownloadCheckpoint::offset(to, *checkpointID, serverProfile, path, *entry);
            if (!checkpointOffset)
                throw destinationChanged();
        } else if (existsAt(partial)) {
            moveAside(partial);
        }
        DownloadCheckpoint::save(partial, serverProfile, path, *entry);
        checkpointSize = entry->size;
    }

    std::optional<LocalFile> destination;
    qint64 resumedSize = 0;
    if (resumeOffset) {
        destination = LocalFile::read(to);
        // Both kinds of resume at once need the remote entry only once.
        if (!checkpointID)
            entry = remoteEntry(path, token);
        const qint64 offset = *resumeOffset;
        if (offset < 1 || !destination->regular || destination->size != offset || !entry || entry->isDirectory ||
            !entry->size || *entry->size <= offset)
            throw destinationChanged();
        resumedSize = *entry->size;
        std::filesystem::copy_file(localName(to).toStdString(), localName(partial).toStdString(),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    preparePartial(partial);
    const std::optional<qint64> offset = checkpointOffset ? checkpointOffset : resumeOffset;
    if (usesSFTP()) {
        sftp().download(path, partial, offset, progress, token);
    } else {
        QStringList extra;
        if (offset)
            extra << QStringLiteral("--continue-at") << QString::number(*offset);
        // curl writes to standard output, which is the partial file opened here for appending. Given
        // the file with "--output" it would truncate it, and ext4 then writes the whole download back
        // to disk the moment curl closes it (its replace-by-truncate heuristic), halving the throughput.
        const int output = ::open(localName(partial).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (output < 0)
            throw FTPError::message(L("inaccessible"));
        const ScopeExit closeOutput([output] { ::close(output); });
        execute(path, false, extra, progress, token, output);
    }
    CancellationError::check(token);

    if (destination) {
        const LocalFile now = LocalFile::read(to);
        if (now.symbolicLink || now.size != *resumeOffset || !now.sameModification(*destination) ||
            sizeOf(partial) != resumedSize)
            throw destinationChanged();
    }
    if (checkpointSize && sizeOf(partial) != *checkpointSize)
        throw destinationChanged();
    install(partial, to, overwrite);
    completed = true;
}
