#include "FTPClient.h"

#include "BatchOutput.h"
#include "CancellationError.h"
#include "CurlProcess.h"
#include "DownloadCheckpoint.h"
#include "EngineClock.h"
#include "EntryReply.h"
#include "FTPError.h"
#include "GrowthProgress.h"
#include "L10n.h"
#include "ListingCommand.h"
#include "ListingParser.h"
#include "LocalFile.h"
#include "PartialDownload.h"
#include "RemotePath.h"
#include "SecretMemory.h"
#include "UploadFeed.h"

#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <array>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The options of every transfer. They come after "--disable --config -" on the command line, and in
// the configuration text for each file of a run over several.
const QStringList transferOptions{
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
};
const QStringList leadingArguments{u"--disable"_s, u"--config"_s, u"-"_s, u"--show-error"_s};
const QStringList commandTime{QStringLiteral("--max-time"), QStringLiteral("45")};
constexpr std::array transientStatuses{6, 7, 18, 28, 52, 55, 56};
constexpr int retries = 2;
// curl's status when a command of "--quote" was refused.
constexpr int quoteRefused = 21;
// curl's status when the server refused the store command.
constexpr int uploadRefused = 25;
// The answer of a server that has no such entry, or will not say.
constexpr int noSuchEntry = 550;
// A file is fetched or stored by its full path, without a CWD into each folder on the way (and
// a first one into "/" for the URL's "//"): each is a round trip on a long path.
const QStringList byFullPath{u"--ftp-method"_s, u"nocwd"_s};

FTPError destinationChanged()
{
    return FTPError::message(L("destination_changed"));
}

FTPError inaccessible()
{
    return FTPError::message(L("inaccessible"));
}

// Get and put name one file: a path ending in "/" would have curl append a name of its own.
void validateFilePath(const QString& path)
{
    FTPClient::validateCommandPath(path);
    if (path.endsWith(QLatin1Char('/')))
        throw FTPError::message(L("remote_file_required"));
}

} // namespace

void FTPClient::checkSource(const std::optional<FileEntry>& entry, bool checkpointed,
                            const std::optional<FileEntry>& recorded, std::optional<qint64> resumeOffset)
{
    if (!entry || entry->isDirectory)
        throw checkpointed ? inaccessible() : destinationChanged();
    if (recorded && (entry->size != recorded->size || entry->modified != recorded->modified))
        throw destinationChanged();
    if (resumeOffset && (!entry->size || *entry->size <= *resumeOffset))
        throw destinationChanged();
}

LocalFile FTPClient::openSource(const QString& file)
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

FTPClient::FTPClient(ServerProfile profile, QString serverPassword)
    : serverProfile(std::move(profile)), password(std::move(serverPassword))
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
    const std::optional<int> status = FTPError::commandStatus(error);
    return status && std::find(transientStatuses.begin(), transientStatuses.end(), *status) != transientStatuses.end();
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

QStringList FTPClient::transferWords() const
{
    QStringList words = transferOptions;
    if (FTPProtocols::usesTLS(serverProfile.protocolType))
        words << QStringLiteral("--ssl-reqd") << QStringLiteral("--tlsv1.2");
    return words;
}

QStringList FTPClient::arguments(const QString& path, bool directory, const QStringList& extra, bool withProgress) const
{
    QStringList words = leadingArguments;
    words << (withProgress ? QStringLiteral("--progress-bar") : QStringLiteral("--silent"));
    words << transferWords() << extra << QStringLiteral("--url") << url(path, directory);
    return words;
}

QByteArray FTPClient::execute(const QString& path, bool directory, const QStringList& extra, const Progress& progress,
                              std::stop_token token, int outputFile, int uploadFile,
                              const CurlProcess::Received& replies) const
{
    ServerProfile::validatePassword(password);
    const QStringList words = arguments(path, directory, extra, bool(progress));
    const SecretMemory::Copy config(userLine());
    return masked([&] {
        if (replies && uploadFile < 0)
            return CurlProcess::runCapturing(words, config.text(), progress, token, outputFile, replies);
        return CurlProcess::run(words, config.text(), progress, token, outputFile,
                                uploadFile >= 0 ? std::vector<int>{uploadFile} : std::vector<int>{}, replies);
    });
}

QString FTPClient::userLine() const
{
    const SecretMemory::Copy credentials(serverProfile.username + QLatin1Char(':') + password);
    return u"user = \""_s + escapeConfig(credentials.text()) + u"\"\n"_s;
}

QByteArray FTPClient::masked(const std::function<QByteArray()>& run) const
{
    try {
        return run();
    } catch (const FTPError& error) {
        if (error.kind() != FTPError::Kind::command || password.isEmpty())
            throw;
        throw FTPError::command(error.exitStatus(), masked(error.detail()));
    }
}

QString FTPClient::masked(QString text) const
{
    return password.isEmpty() ? text : text.replace(password, QStringLiteral("\u2022\u2022\u2022\u2022"));
}

void FTPClient::runBatch(const QList<BatchPart>& parts, const QByteArray& marker, const std::vector<int>& passedFiles,
                         const CurlProcess::Received& received, std::stop_token token) const
{
    ServerProfile::validatePassword(password);
    // Each file's options go in the configuration text, after a "next" and the credentials again:
    // the credentials never go on the command line, and each file needs them.
    QStringList common = transferWords();
    common << u"--dump-header"_s << u"-"_s << u"--write-out"_s << BatchOutput::writeOut(marker) << byFullPath;
    QString text;
    for (const BatchPart& part : parts) {
        if (!text.isEmpty())
            text += u"next\n"_s;
        text += userLine() + configLines(common + part.extra + QStringList{u"--url"_s, url(part.path, false)});
    }
    const SecretMemory::Copy config(std::move(text));
    masked([&] {
        return CurlProcess::run({u"--disable"_s, u"--silent"_s, u"--show-error"_s, u"--config"_s, u"-"_s},
                                config.text(), {}, token, -1, passedFiles, received);
    });
}

QString FTPClient::configLines(const QStringList& words)
{
    // An option's value is the word after it unless that is an option too: every value given here
    // is a number, a path, a command, a URL or "-".
    QString lines;
    for (qsizetype at = 0; at < words.size(); ++at) {
        lines += words.at(at).mid(2);
        if (at + 1 < words.size() && !words.at(at + 1).startsWith(u"--"_s))
            lines += u" = \""_s + escapeConfig(words.at(++at)) + u'"';
        lines += u'\n';
    }
    return lines;
}

template <typename Result> Result FTPClient::retrying(const std::function<Result()>& attempt, std::stop_token token)
{
    for (int failures = 0;; ++failures) {
        try {
            return attempt();
        } catch (...) {
            if (failures == retries || !isTransient(std::current_exception()))
                throw;
        }
        EngineClock::current().sleep(std::chrono::seconds(2 + 2 * failures), token);
    }
}

QList<FileEntry> FTPClient::list(const QString& path, std::stop_token token) const
{
    return retrying<QList<FileEntry>>([&] { return listOnce(path, token); }, token);
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

std::optional<FileEntry> FTPClient::entry(const QString& path, std::stop_token token) const
{
    validateCommandPath(path);
    if (usesSFTP())
        return retrying<std::optional<FileEntry>>([&] { return sftp().entry(path, token); }, token);
    if (!ListingCommand::describesEntries(serverProfile))
        return listedEntry(path, token);
    // "*" lets a refusal pass. A server that describes the folder but refuses its entry has no
    // such entry; one that refuses both may refuse MLST to everybody, and the listing decides.
    const QString parent = RemotePath::parent(path);
    const QStringList extra = QStringList{u"--quote"_s, u"*MLST "_s + parent, u"--quote"_s, u"*MLST "_s + path,
                                          u"--head"_s,  u"--dump-header"_s,   u"-"_s} +
                              byFullPath + commandTime;
    const QList<EntryReply::Answer> answers = retrying<QList<EntryReply::Answer>>(
        [&] { return EntryReply::answers(execute(u"/"_s, true, extra, {}, token)); }, token);
    if (answers.size() >= 2) {
        const EntryReply::Answer& folder = answers[0];
        const EntryReply::Answer& named = answers[1];
        if (named.entry)
            return named.entry;
        if (folder.code / 100 == 2 && named.code == noSuchEntry)
            return std::nullopt;
        if (folder.code / 100 != 2 && named.code / 100 != 2)
            ListingCommand::rememberNoEntries(serverProfile);
    }
    return listedEntry(path, token);
}

std::optional<FileEntry> FTPClient::listedEntry(const QString& path, std::stop_token token) const
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
    // Over SFTP the upload's exclusive open is the check.
    const bool fresh = !overwrite && !resumeOffset;
    if (fresh && usesSFTP())
        return sftp().upload(source, to, overwrite, resumeOffset, progress, token);
    if (fresh && ListingCommand::describesEntries(serverProfile) && uploadProbed(source, to, progress, token))
        return;
    if (!overwrite || resumeOffset) {
        const std::optional<FileEntry> existing = entry(to, token);
        if (resumeOffset) {
            const qint64 offset = *resumeOffset;
            if (offset < 1 || !existing || existing->isDirectory || existing->size != offset ||
                source.attributes().size <= offset)
                throw destinationChanged();
        } else if (existing) {
            throw destinationChanged();
        }
    }
    if (usesSFTP())
        return sftp().upload(source, to, overwrite, resumeOffset, progress, token);
    // curl reads the file through the descriptor opened here, never through its path.
    QStringList extra = QStringList{QStringLiteral("--upload-file"), QStringLiteral("/dev/fd/3")} + byFullPath;
    if (resumeOffset)
        extra << QStringLiteral("--continue-at") << QString::number(*resumeOffset);
    execute(to, false, extra, progress, token, -1, source.descriptor());
}

bool FTPClient::uploadProbed(const LocalFile& source, const QString& to, const Progress& progress,
                             std::stop_token token) const
{
    // curl stores while the answers to the MLSTs are on their way to this process. APPE, fed
    // nothing, leaves a file that turns out to be there as it was, where STOR would empty it. Until
    // the server has described an entry, its folder's MLST goes first, without "*": a server that
    // will not describe it stops the run before anything is stored.
    const bool confirmed = ListingCommand::entriesConfirmed(serverProfile);
    QStringList extra;
    if (!confirmed)
        extra << u"--quote"_s << u"MLST "_s + RemotePath::parent(to);
    extra << u"--quote"_s << u"*MLST "_s + to << u"--append"_s << u"--upload-file"_s << u"/dev/fd/3"_s
          << u"--dump-header"_s << u"-"_s << byFullPath;
    const qsizetype namedAt = confirmed ? 0 : 1;
    UploadFeed feed(source, progress);
    std::optional<EntryReply::Answer> named;
    QByteArray replies;
    const auto received = [&](const QByteArray& soFar) {
        replies = soFar;
        if (named)
            return;
        const QList<EntryReply::Answer> answers = EntryReply::answers(soFar);
        if (answers.size() > namedAt)
            named = answers[namedAt];
        // Replies nobody can read must not leave curl waiting for bytes.
        if (named || EntryReply::transferAnnounced(soFar))
            feed.send(named && named->code == noSuchEntry);
    };
    std::exception_ptr failure;
    try {
        execute(to, false, extra, {}, token, -1, feed.readEnd(), received);
    } catch (...) {
        failure = std::current_exception();
    }
    feed.finish();
    CancellationError::check(token);
    if (!named) {
        if (failure && FTPError::commandStatus(failure) != quoteRefused)
            std::rethrow_exception(failure);
        return false;
    }
    if (named->code / 100 == 2 || !confirmed)
        ListingCommand::rememberEntriesConfirmed(serverProfile);
    if (named->code / 100 == 2)
        throw destinationChanged();
    // Nothing was sent: the listing decides, as it does when the server refused APPE outright, for
    // STOR to follow.
    if (named->code != noSuchEntry ||
        (FTPError::commandStatus(failure) == uploadRefused && !EntryReply::transferAnnounced(replies)))
        return false;
    if (failure)
        std::rethrow_exception(failure);
    if (progress)
        progress(1.0);
    return true;
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
    const bool checked = checkpointID || resumeOffset;
    if (usesSFTP() || !checked || !ListingCommand::describesEntries(serverProfile) ||
        !downloadProbed(path, to, overwrite, resumeOffset, checkpointID, resumeCheckpoint, progress, token))
        downloadListed(path, to, overwrite, resumeOffset, checkpointID, resumeCheckpoint, progress, token);
}

std::optional<FTPClient::ProbeStart> FTPClient::probeStart(const QString& path, const QString& to,
                                                           std::optional<QUuid> checkpointID,
                                                           bool resumeCheckpoint) const
{
    if (!checkpointID)
        return ProbeStart{};
    // What the listing path does with a checkpoint that no longer fits, or with the files of one
    // that is not continued, it does best.
    if (resumeCheckpoint) {
        const auto resume = DownloadCheckpoint::resumable(to, *checkpointID, serverProfile, path);
        if (!resume)
            return std::nullopt;
        return ProbeStart{resume->source, resume->offset};
    }
    if (DownloadCheckpoint::leftBehind(to, *checkpointID))
        return std::nullopt;
    return ProbeStart{};
}

bool FTPClient::downloadProbed(const QString& path, const QString& to, bool overwrite,
                               std::optional<qint64> resumeOffset, std::optional<QUuid> checkpointID,
                               bool resumeCheckpoint, const Progress& progress, std::stop_token token) const
{
    const std::optional<ProbeStart> start = probeStart(path, to, checkpointID, resumeCheckpoint);
    if (!start)
        return false;
    std::optional<qint64> offset = start->offset;
    PartialDownload partial(to, checkpointID.value_or(QUuid::createUuid()), bool(offset));
    const bool freshCheckpoint = checkpointID && !resumeCheckpoint;
    // A checkpoint without the facts, which arrive with the run, at once: a folder that takes no
    // files fails here, before anything is fetched. It can never be resumed, so it goes with a
    // failure that comes before the facts.
    if (freshCheckpoint)
        partial.saveCheckpoint(serverProfile, path, FileEntry{RemotePath::lastComponent(path), false, {}, {}});
    if (resumeOffset) {
        partial.openDestination(*resumeOffset);
        offset = resumeOffset;
    }
    LocalFile& file = partial.open(offset);
    const ProbedRun run = runProbed(path, partial, file, offset, freshCheckpoint, progress, token);

    const auto answer = EntryReply::find(run.replies);
    if (answer && answer->code / 100 != 2) {
        learnFromRefusal(path, answer->code, token);
        return false;
    }
    // Gone before the server was asked (no connection, no login): nothing was written.
    if (run.failure && !answer)
        std::rethrow_exception(run.failure);
    // An answer nobody can read: the listing decides.
    const std::optional<FileEntry> source = answer && answer->entry ? answer->entry : listedEntry(path, token);
    try {
        checkSource(source, bool(checkpointID), start->recorded, resumeOffset);
    } catch (const FTPError&) {
        // Bytes that the check refuses neither extend a partial file nor stay in a new one.
        file.truncate(offset.value_or(0));
        CancellationError::check(token);
        throw;
    }
    if (run.failure)
        std::rethrow_exception(run.failure);
    CancellationError::check(token);
    partial.install(source->size, overwrite);
    if (progress)
        progress(1.0);
    return true;
}

FTPClient::ProbedRun FTPClient::runProbed(const QString& path, PartialDownload& partial, LocalFile& file,
                                          std::optional<qint64> offset, bool freshCheckpoint, const Progress& progress,
                                          std::stop_token token) const
{
    // Without a resume curl need not ask the size with SIZE (a round trip, and on a long path over
    // TLS up to a second that curl idles waiting on the data connection): the entry has it, and
    // the progress is measured on the file instead. So it is with a resume, whose bar curl counts
    // from the offset: until it has the size, the part already here reads as all of the file.
    std::optional<GrowthProgress> growth;
    if (progress)
        growth.emplace(file, 0, progress);
    // A fresh checkpoint is written the moment the entry is known, before its bytes arrive, so
    // that a download cut short at any point can continue.
    bool saved = !freshCheckpoint;
    std::exception_ptr saveFailure;
    ProbedRun run;
    const auto received = [&](const QByteArray& soFar) {
        run.replies = soFar;
        const auto answer = EntryReply::find(run.replies);
        if (!answer || !answer->entry || answer->entry->isDirectory)
            return;
        if (growth && answer->entry->size)
            growth->setTotal(*answer->entry->size);
        if (std::exchange(saved, true))
            return;
        try {
            partial.saveCheckpoint(serverProfile, path, *answer->entry);
            partial.setKeepsFiles(answer->entry->size.has_value());
        } catch (...) {
            saveFailure = std::current_exception();
        }
    };
    QStringList extra = QStringList{u"--quote"_s, u"MLST "_s + path, u"--dump-header"_s, u"/dev/fd/3"_s} + byFullPath;
    if (offset)
        extra << u"--continue-at"_s << QString::number(*offset);
    else
        extra << u"--ignore-content-length"_s;
    try {
        execute(path, false, extra, Progress(), token, file.descriptor(), -1, received);
    } catch (...) {
        run.failure = std::current_exception();
    }
    growth.reset();
    if (saveFailure)
        std::rethrow_exception(saveFailure);
    return run;
}

void FTPClient::learnFromRefusal(const QString& path, int code, std::stop_token token) const
{
    // Refused before RETR, so nothing was written. A missing file and a server that refuses MLST
    // to everybody answer alike: the listing tells them apart, and asking for the folder too
    // finds out whether this server is worth asking again.
    if (EntryReply::isUnknownCommand(code))
        ListingCommand::rememberNoEntries(serverProfile);
    else
        entry(path, token);
}

void FTPClient::downloadListed(const QString& path, const QString& to, bool overwrite,
                               std::optional<qint64> resumeOffset, std::optional<QUuid> checkpointID,
                               bool resumeCheckpoint, const Progress& progress, std::stop_token token) const
{
    std::optional<PartialDownload> partial;
    std::optional<qint64> expectedSize;
    // The checks, then the partial file they allow; an SFTP session looks the entry up over its
    // own connection, rather than in a session of its own before the download's.
    const auto prepare = [&](const SFTPClient::Lookup& listed) -> SFTPClient::Destination {
        std::optional<FileEntry> source;
        if (checkpointID) {
            source = listed();
            checkSource(source, true, std::nullopt, std::nullopt);
        }
        // Without a known size (a link's, say) no checkpoint could ever be resumed: keeping the
        // partial file would only leave it behind.
        partial.emplace(to, checkpointID.value_or(QUuid::createUuid()), source && source->size);
        std::optional<qint64> offset;
        if (checkpointID) {
            if (resumeCheckpoint) {
                offset = DownloadCheckpoint::offset(to, *checkpointID, serverProfile, path, *source);
                if (!offset)
                    throw destinationChanged();
            } else {
                partial->setAside();
            }
            partial->saveCheckpoint(serverProfile, path, *source);
            expectedSize = source->size;
        }
        if (resumeOffset) {
            partial->openDestination(*resumeOffset);
            // Both kinds of resume at once need the remote entry only once.
            if (!checkpointID)
                source = listed();
            checkSource(source, bool(checkpointID), std::nullopt, resumeOffset);
            offset = resumeOffset;
            expectedSize = source->size;
        }
        return {&partial->open(offset), offset};
    };

    if (usesSFTP()) {
        sftp().download(path, prepare, progress, token);
    } else {
        const auto [file, offset] = prepare([&] { return listedEntry(path, token); });
        QStringList extra = byFullPath;
        if (offset)
            extra << QStringLiteral("--continue-at") << QString::number(*offset);
        // curl counts a resumed run's bar from the offset, and shows it full until it has the size:
        // the file's growth towards the known size tells the real fraction from the start.
        std::optional<GrowthProgress> growth;
        if (offset && expectedSize && progress) {
            growth.emplace(*file, 0, progress);
            growth->setTotal(*expectedSize);
        }
        // curl writes to standard output, which is the partial file opened here. Given the file
        // with "--output" it would open it by path and truncate it, and ext4 then writes the whole
        // download back to disk the moment curl closes it (its replace-by-truncate heuristic),
        // halving the throughput.
        execute(path, false, extra, growth ? Progress() : progress, token, file->descriptor());
    }
    CancellationError::check(token);
    partial->install(expectedSize, overwrite);
}
