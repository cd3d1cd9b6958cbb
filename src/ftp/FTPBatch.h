#pragma once

#include "FTPClient.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>

// Several files of one server, all downloads or all uploads, in one curl run: the login, the TLS
// handshake and the rest of a connection's setup are paid once, not once per file. Each file keeps
// the checks, the files and the outcomes that FTPClient's download and upload give it alone; a file
// whose check the run cannot settle is run alone right after it.
class FTPBatch {
public:
    struct File {
        // The source of an upload, the destination of a download.
        QString local;
        QString remote;
        // A download's: whether it may replace an existing destination, and its checkpoint.
        bool overwrite = false;
        std::optional<QUuid> checkpointID;
        FTPClient::Progress progress;
        // This file's own stop: ends the run while the file is under way.
        std::stop_token stop;
    };
    struct Events {
        // Asked as curl is about to reach a file: false ends the run there, and neither that file
        // nor any after it is reached.
        std::function<bool(qsizetype)> proceed;
        // curl has reached the file.
        std::function<void(qsizetype)> started;
        // The file's end: nothing when it is done, otherwise what ended it. Every file that
        // started ends once; a file the run never reached neither starts nor ends.
        std::function<void(qsizetype, std::exception_ptr)> ended;
    };

    // The most files in one run, and the largest file worth putting in one: a lane that holds a
    // run holds its files back from the other lanes until it ends.
    static constexpr qsizetype maximumFiles = 16;
    static constexpr qint64 maximumFileSize = 1024 * 1024;

    FTPBatch(const FTPClient& client, Events events);

    // Blocks until every file has ended or the run stopped; a stop of `token` ends the file under
    // way with CancellationError.
    void download(const QList<File>& files, std::stop_token token) const;
    void upload(const QList<File>& files, std::stop_token token) const;

private:
    class Run;

    template <typename Side> void execute(const QList<File>& files, bool upload, std::stop_token token) const;
    // Whether the file may go in the run rather than alone.
    bool batchable(const File& file, bool upload) const;
    // The file run alone, as FTPClient would, under its own stop as well as `token`.
    void alone(const File& file, qsizetype index, bool upload, std::stop_token token) const;

    const FTPClient& m_client;
    Events m_events;
};
