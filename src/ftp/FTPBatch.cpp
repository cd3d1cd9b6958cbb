#include "FTPBatch.h"

#include "BatchOutput.h"
#include "CancellationError.h"
#include "DownloadCheckpoint.h"
#include "EntryReply.h"
#include "FTPError.h"
#include "GrowthProgress.h"
#include "L10n.h"
#include "ListingCommand.h"
#include "LocalFile.h"
#include "PartialDownload.h"
#include "RemotePath.h"
#include "UploadFeed.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The answer of a server that has no such entry.
constexpr int noSuchEntry = 550;
// curl's statuses when a command of "--quote", or the store command, was refused.
constexpr int quoteRefused = 21;
constexpr int uploadRefused = 25;

// What became of one file of the run.
struct Outcome {
    enum class Kind { done, failed, alone };
    Kind kind = Kind::done;
    std::exception_ptr failure;
    // The failure came before the server said anything about the file (no connection, no login):
    // the files after it would meet it as well.
    bool beforeAnswer = false;
};

Outcome failed(std::exception_ptr failure, bool beforeAnswer = false)
{
    return {Outcome::Kind::failed, std::move(failure), beforeAnswer};
}

Outcome failedWith(const FTPError& error)
{
    return failed(std::make_exception_ptr(error));
}

// curl's failure of one file, as a run of its own would have thrown it.
std::exception_ptr curlFailure(const BatchOutput::Segment& segment)
{
    return std::make_exception_ptr(FTPError::command(segment.status.value_or(-1), segment.message));
}

// One file's part of the run: what its replies so far mean while it is under way, and its
// outcome once curl is done with it.
struct Part {
    qsizetype index = 0;
    FTPClient::BatchPart command;
    int descriptor = -1;
    std::function<void(QByteArrayView replies, bool continued)> update;
    std::function<Outcome(const BatchOutput::Segment& segment, bool continued)> finish;
};

} // namespace

// The mechanics of one run: the files' parts in order, their starts and ends as curl reaches them,
// and the stops.
class FTPBatch::Run {
public:
    Run(const FTPBatch& batch, const QList<File>& files, std::vector<Part>& parts)
        : m_batch(batch), m_files(files), m_parts(parts)
    {
    }

    // The files to run alone afterwards.
    QList<qsizetype> execute(std::stop_token token)
    {
        const std::stop_callback onStop(token, [this] { m_stop.request_stop(); });
        std::vector<std::unique_ptr<std::stop_callback<std::function<void()>>>> fileStops;
        for (qsizetype at = 0; at < qsizetype(m_parts.size()); ++at)
            fileStops.push_back(std::make_unique<std::stop_callback<std::function<void()>>>(
                m_files.at(m_parts[size_t(at)].index).stop, std::function<void()>([this, at] {
                    if (m_current.load() == at)
                        m_stop.request_stop();
                })));
        QList<FTPClient::BatchPart> commands;
        std::vector<int> descriptors;
        for (const Part& part : m_parts) {
            commands.append(part.command);
            descriptors.push_back(part.descriptor);
        }
        const QByteArray marker = BatchOutput::marker();
        reach(0);
        std::exception_ptr failure;
        try {
            m_batch.m_client.runBatch(
                commands, marker, descriptors, [&](const QByteArray& soFar) { received(soFar, marker); },
                m_stop.get_token());
        } catch (...) {
            failure = std::current_exception();
        }
        const qsizetype open = m_current.load();
        if (open < qsizetype(m_parts.size()) && m_started && !m_ended) {
            // Stopped, or curl went without a word about the file under way.
            const bool stopped = m_stop.stop_requested();
            m_batch.m_events.ended(m_parts[size_t(open)].index,
                                   stopped || !failure ? std::make_exception_ptr(CancellationError()) : failure);
        }
        return m_alone;
    }

private:
    void reach(qsizetype at)
    {
        m_current.store(at);
        m_started = m_ended = false;
        if (at >= qsizetype(m_parts.size()))
            return;
        const qsizetype index = m_parts[size_t(at)].index;
        // A file stopped before it was reached is passed by, with those after it.
        if (!m_batch.m_events.proceed(index) || m_files.at(index).stop.stop_requested()) {
            m_stop.request_stop();
            return;
        }
        m_started = true;
        m_batch.m_events.started(index);
    }

    void received(const QByteArray& soFar, const QByteArray& marker)
    {
        const QList<BatchOutput::Segment> segments = BatchOutput::split(soFar, marker);
        for (qsizetype at = m_current.load(); at < qsizetype(m_parts.size()) && at < segments.size(); ++at) {
            if (m_stop.stop_requested())
                return;
            BatchOutput::Segment segment = segments.at(at);
            segment.message = m_batch.m_client.masked(segment.message);
            Part& part = m_parts[size_t(at)];
            if (!segment.status) {
                part.update(segment.replies, at > 0);
                return;
            }
            const Outcome outcome = part.finish(segment, at > 0);
            m_ended = true;
            if (outcome.kind == Outcome::Kind::alone)
                m_alone.append(part.index);
            else
                m_batch.m_events.ended(part.index, outcome.failure);
            if (outcome.beforeAnswer) {
                m_stop.request_stop();
                return;
            }
            reach(at + 1);
        }
    }

    const FTPBatch& m_batch;
    const QList<File>& m_files;
    std::vector<Part>& m_parts;
    std::stop_source m_stop;
    std::atomic<qsizetype> m_current = 0;
    bool m_started = false;
    bool m_ended = false;
    QList<qsizetype> m_alone;
};

FTPBatch::FTPBatch(const FTPClient& client, Events events) : m_client(client), m_events(std::move(events)) {}

void FTPBatch::alone(const File& file, qsizetype index, bool upload, std::stop_token token) const
{
    std::stop_source both;
    const std::stop_callback outer(token, [&both] { both.request_stop(); });
    const std::stop_callback own(file.stop, [&both] { both.request_stop(); });
    try {
        if (upload)
            m_client.upload(file.local, file.remote, false, std::nullopt, file.progress, both.get_token());
        else
            m_client.download(file.remote, file.local, file.overwrite, std::nullopt, file.checkpointID, false,
                              file.progress, both.get_token());
        m_events.ended(index, nullptr);
    } catch (...) {
        m_events.ended(index, std::current_exception());
    }
}

namespace {

// A download's side of the run: its partial file, curl's "--output".
class DownloadPart {
public:
    DownloadPart(const ServerProfile& profile, const FTPBatch::File& file)
        : m_profile(profile), m_file(file),
          m_partial(file.local, file.checkpointID.value_or(QUuid::createUuid()), false),
          m_output(m_partial.open(std::nullopt))
    {
        // As a download alone does: a checkpoint at once, its facts once they arrive.
        if (file.checkpointID)
            m_partial.saveCheckpoint(profile, file.remote,
                                     FileEntry{RemotePath::lastComponent(file.remote), false, {}, {}});
    }

    int descriptor() const { return m_output.descriptor(); }

    void update(QByteArrayView replies, bool continued)
    {
        if (m_file.progress && !m_growth)
            m_growth.emplace(m_output, 0, m_file.progress);
        const auto answer = EntryReply::find(replies, continued);
        if (m_saved || !answer || !answer->entry || answer->entry->isDirectory)
            return;
        m_saved = true;
        if (m_growth && answer->entry->size)
            m_growth->setTotal(*answer->entry->size);
        if (!m_file.checkpointID)
            return;
        try {
            m_partial.saveCheckpoint(m_profile, m_file.remote, *answer->entry);
            m_partial.setKeepsFiles(answer->entry->size.has_value());
        } catch (...) {
            m_saveFailure = std::current_exception();
        }
    }

    Outcome finish(const BatchOutput::Segment& segment, bool continued)
    {
        m_growth.reset();
        const auto answer = EntryReply::find(segment.replies, continued);
        if (m_saveFailure)
            return failed(m_saveFailure);
        if (!answer)
            return segment.status == 0 ? Outcome{Outcome::Kind::alone, {}, false} : failed(curlFailure(segment), true);
        // Refused before RETR, so nothing was written: alone, the file finds out why.
        if (answer->code / 100 != 2 || !answer->entry) {
            m_partial.setKeepsFiles(false);
            return {Outcome::Kind::alone, {}, false};
        }
        try {
            FTPClient::checkSource(answer->entry, bool(m_file.checkpointID), std::nullopt, std::nullopt);
        } catch (const FTPError& error) {
            // Bytes that the check refuses do not stay in a new partial file.
            m_output.truncate(0);
            return failedWith(error);
        }
        if (*segment.status != 0)
            return failed(curlFailure(segment));
        try {
            m_partial.install(answer->entry->size, m_file.overwrite);
        } catch (...) {
            return failed(std::current_exception());
        }
        if (m_file.progress)
            m_file.progress(1.0);
        return {};
    }

private:
    const ServerProfile& m_profile;
    const FTPBatch::File& m_file;
    PartialDownload m_partial;
    LocalFile& m_output;
    std::optional<GrowthProgress> m_growth;
    bool m_saved = false;
    std::exception_ptr m_saveFailure;
};

// An upload's side of the run: the file handed to curl through a pipe once the server has said
// that nothing is at its destination, as an upload alone does.
class UploadPart {
public:
    UploadPart(const ServerProfile&, const FTPBatch::File& file)
        : m_source(FTPClient::openSource(file.local)), m_feed(m_source, file.progress), m_progress(file.progress)
    {
    }

    int descriptor() const { return m_feed.readEnd(); }

    void update(QByteArrayView replies, bool continued)
    {
        if (m_named)
            return;
        const QList<EntryReply::Answer> answers = EntryReply::answers(replies, continued);
        if (!answers.isEmpty())
            m_named = answers.first();
        // Replies nobody can read must not leave curl waiting for bytes.
        if (m_named || EntryReply::transferAnnounced(replies))
            m_feed.send(m_named && m_named->code == noSuchEntry);
    }

    Outcome finish(const BatchOutput::Segment& segment, bool continued)
    {
        update(segment.replies, continued);
        m_feed.send(false);
        try {
            m_feed.finish();
        } catch (...) {
            return failed(std::current_exception());
        }
        const int status = *segment.status;
        if (!m_named)
            return status != 0 && status != quoteRefused ? failed(curlFailure(segment), true)
                                                         : Outcome{Outcome::Kind::alone, {}, false};
        if (m_named->code / 100 == 2)
            return failedWith(FTPError::message(L("destination_changed")));
        if (m_named->code != noSuchEntry ||
            (status == uploadRefused && !EntryReply::transferAnnounced(segment.replies)))
            return {Outcome::Kind::alone, {}, false};
        if (status != 0)
            return failed(curlFailure(segment));
        if (m_progress)
            m_progress(1.0);
        return {};
    }

private:
    LocalFile m_source;
    UploadFeed m_feed;
    FTPClient::Progress m_progress;
    std::optional<EntryReply::Answer> m_named;
};

} // namespace

template <typename Side> void FTPBatch::execute(const QList<File>& files, bool upload, std::stop_token token) const
{
    std::vector<Part> parts;
    std::vector<std::unique_ptr<Side>> sides;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const File& file = files.at(index);
        // A file that must go alone goes before the others, as it would have in the queue's order.
        if (!batchable(file, upload)) {
            if (token.stop_requested() || file.stop.stop_requested() || !m_events.proceed(index))
                return;
            m_events.started(index);
            alone(file, index, upload, token);
            continue;
        }
        try {
            auto side = std::make_unique<Side>(m_client.profile(), file);
            Side* raw = side.get();
            const QString channel = u"/dev/fd/%1"_s.arg(3 + int(parts.size()));
            QStringList extra = upload ? QStringList{u"--quote"_s, u"*MLST "_s + file.remote, u"--append"_s,
                                                     u"--upload-file"_s, channel}
                                       : QStringList{u"--quote"_s, u"MLST "_s + file.remote, u"--output"_s, channel,
                                                     u"--ignore-content-length"_s};
            parts.push_back({index,
                             {file.remote, extra},
                             raw->descriptor(),
                             [raw](QByteArrayView replies, bool continued) { raw->update(replies, continued); },
                             [raw](const BatchOutput::Segment& segment, bool continued) {
                                 return raw->finish(segment, continued);
                             }});
            sides.push_back(std::move(side));
        } catch (...) {
            m_events.started(index);
            m_events.ended(index, std::current_exception());
        }
    }
    if (parts.empty())
        return;
    const QList<qsizetype> again = Run(*this, files, parts).execute(token);
    // What the run left undecided is decided alone, with the run's files gone.
    sides.clear();
    for (const qsizetype index : again)
        alone(files.at(index), index, upload, token);
}

bool FTPBatch::batchable(const File& file, bool upload) const
{
    const ServerProfile& profile = m_client.profile();
    if (!ListingCommand::describesEntries(profile))
        return false;
    // Until the server has described an entry, an upload alone asks about its folder as well.
    if (upload)
        return ListingCommand::entriesConfirmed(profile);
    // What a download alone does with the files of an earlier attempt, it does best.
    if (!file.checkpointID)
        return true;
    return !DownloadCheckpoint::leftBehind(file.local, *file.checkpointID);
}

void FTPBatch::download(const QList<File>& files, std::stop_token token) const
{
    execute<DownloadPart>(files, false, token);
}

void FTPBatch::upload(const QList<File>& files, std::stop_token token) const
{
    execute<UploadPart>(files, true, token);
}
