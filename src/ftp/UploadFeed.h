#pragma once

#include "LocalFile.h"
#include "Pipe.h"

#include <QtGlobal>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// The bytes of an upload handed to curl through a pipe, held back until the caller has read the
// server's answers in the same run and decided whether the file goes or nothing does: so that the
// check of a destination and its transfer share one login. A thread of its own copies the file
// and reports the share handed over to `progress`.
class UploadFeed {
public:
    using Progress = std::function<void(double)>;

    UploadFeed(const LocalFile& source, Progress progress);
    ~UploadFeed();
    UploadFeed(const UploadFeed&) = delete;
    UploadFeed& operator=(const UploadFeed&) = delete;

    // curl's end, to be its "/dev/fd/3".
    int readEnd() const { return m_pipe.readEnd(); }
    // The whole file, or an end of input at once. Only the first call counts.
    void send(bool whole);
    // Once curl has gone: anything undecided sends nothing, and a copy still under way ends.
    // Throws the error that reading the file met.
    void finish();

private:
    void feed(std::stop_token token);
    void copy(std::stop_token token);

    const LocalFile& m_source;
    Progress m_progress;
    Pipe m_pipe;
    std::mutex m_lock;
    std::condition_variable_any m_decided;
    std::optional<bool> m_whole;
    std::exception_ptr m_failure;
    std::jthread m_worker;
};
