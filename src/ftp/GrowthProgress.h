#pragma once

#include "LocalFile.h"

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <thread>

// How far a file that somebody else writes has come towards a size learned while it is written:
// for a download that curl makes without asking the server the size (one round trip less), so
// that curl cannot show how far it is. Reports to `progress` from a thread of its own every
// 100 ms, once the size is known, until destroyed.
class GrowthProgress {
public:
    using Progress = std::function<void(double)>;

    // `file` is the file being written, `start` the bytes it held before.
    GrowthProgress(const LocalFile& file, qint64 start, Progress progress);
    ~GrowthProgress();
    GrowthProgress(const GrowthProgress&) = delete;
    GrowthProgress& operator=(const GrowthProgress&) = delete;

    void setTotal(qint64 total) { m_total = total; }

private:
    void report() const;

    const LocalFile& m_file;
    qint64 m_start;
    Progress m_progress;
    std::atomic<qint64> m_total = -1;
    std::jthread m_worker;
};
