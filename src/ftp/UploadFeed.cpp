#include "UploadFeed.h"

#include "SystemCall.h"

#include <QByteArray>
#include <algorithm>
#include <unistd.h>
#include <utility>

namespace {

// A pipe's depth: what is handed over is then never far ahead of what curl sent, which is what the
// progress says.
constexpr qsizetype chunkSize = 64 * 1024;

} // namespace

UploadFeed::UploadFeed(const LocalFile& source, Progress progress) : m_source(source), m_progress(std::move(progress))
{
    m_worker = std::jthread([this](std::stop_token token) { feed(token); });
}

UploadFeed::~UploadFeed()
{
    try {
        finish();
    } catch (...) {
    }
}

void UploadFeed::send(bool whole)
{
    {
        const std::lock_guard guard(m_lock);
        if (m_whole)
            return;
        m_whole = whole;
    }
    m_decided.notify_all();
}

void UploadFeed::finish()
{
    if (m_worker.joinable()) {
        m_worker.request_stop();
        // A write that curl's end left waiting fails once no reader is left.
        m_pipe.closeRead();
        m_worker.join();
    }
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void UploadFeed::feed(std::stop_token token)
{
    bool whole = false;
    {
        std::unique_lock guard(m_lock);
        m_decided.wait(guard, token, [this] { return m_whole.has_value(); });
        whole = m_whole.value_or(false);
    }
    try {
        if (whole)
            copy(token);
    } catch (...) {
        m_failure = std::current_exception();
    }
    // The end of input; after a failure too, which the caller then reports over curl's success.
    m_pipe.closeWrite();
}

void UploadFeed::copy(std::stop_token token)
{
    const qint64 total = m_source.attributes().size.value_or(0);
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (qint64 sent = 0; !token.stop_requested();) {
        const ssize_t got = SystemCall::retrying(
            [&] { return ::pread(m_source.descriptor(), buffer.data(), size_t(buffer.size()), off_t(sent)); });
        if (got < 0)
            SystemCall::fail("read", m_source.path());
        if (got == 0 || !SystemCall::writeAll(m_pipe.writeEnd(), QByteArrayView(buffer.constData(), got)))
            return;
        sent += got;
        if (m_progress && total > 0)
            m_progress(std::min(1.0, double(sent) / double(total)));
    }
}
