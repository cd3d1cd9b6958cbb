// The transfer queue of the application model at scale, against one local ProFTPD:
// - queuing 50,000 planned records, the save of the queue file included (target: 1 s at most);
// - one progress tick of the running transfer with 50,000 items queued (target: 50 µs at most on
//   the main thread, and no write of the queue file);
// - the main thread's event-loop latency while a 1 GiB download runs through the model with
//   50,000 items waiting (target: under 50 ms at the 99th percentile).
// Needs about 2 GiB of free space in the temporary folder.
#include "ActivityLog.h"
#include "ProFTPDServer.h"
#include "QueueStore.h"
#include "TemporaryFolder.h"
#include "TransferQueue.h"
#include "UnattendedPrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr qint64 largeSize = qint64(1) << 30;
constexpr int waitingCount = 50000;
constexpr int latencyInterval = 5; // milliseconds

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(fraction * double(values.size()))));
}

void makeLargeFile(const QString& path)
{
    QFile large(path);
    if (!large.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the large file");
    const QByteArray block(1 << 20, 'd');
    for (qint64 written = 0; written < largeSize; written += block.size())
        large.write(block);
}

QList<PlannedTransfer> waitingRecords(const TemporaryFolder& local)
{
    QList<PlannedTransfer> records;
    records.reserve(waitingCount);
    for (int n = 0; n < waitingCount; ++n) {
        const QString name = QStringLiteral("waiting %1.txt").arg(n);
        records.append({local.file(QStringLiteral("many/") + name), QStringLiteral("/many/") + name, false, false,
                        false, std::nullopt, std::nullopt});
    }
    return records;
}

int run()
{
    ProFTPDServer server;
    makeLargeFile(server.local(QStringLiteral("/large.bin")));
    TemporaryFolder local;
    UnattendedPrompter prompter;
    QThreadPool pool;
    ActivityLog activity;
    // The queue alone, as the model holds it; a failure shows in the figures.
    const PartContext context{prompter, pool, activity, [](const QString&) {}};
    TransferQueue queue(context);
    const FTPClient client(server.profile(FTPProtocol::ftp), ProFTPDServer::password());

    queue.setPaused(true);
    queue.append({{local.file(QStringLiteral("large.bin")), QStringLiteral("/large.bin"), false, false, false,
                   std::nullopt, std::nullopt}},
                 false, client);
    const QList<PlannedTransfer> records = waitingRecords(local);
    QElapsedTimer clock;
    clock.start();
    queue.append(records, false, client);
    const double enqueueSeconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 fileSize = QFileInfo(QueueStore::file()).size();

    std::vector<double> latencies;
    std::vector<double> ticks;
    QElapsedTimer sinceLast;
    QTimer latency;
    latency.setInterval(latencyInterval);
    QObject::connect(&latency, &QTimer::timeout, [&] {
        latencies.push_back(std::max(0.0, double(sinceLast.nsecsElapsed()) / 1e6 - latencyInterval));
        sinceLast.restart();
    });
    const auto running = [&] { return queue.list().items().first().state == TransferItem::State::running; };
    const QDateTime savedBefore = QFileInfo(QueueStore::file()).lastModified();
    bool savedDuringDownload = false;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        QElapsedTimer one;
        one.start();
        queue.progressTick();
        ticks.push_back(double(one.nsecsElapsed()) / 1e3);
        savedDuringDownload |= running() && QFileInfo(QueueStore::file()).lastModified() != savedBefore;
    });

    queue.setPaused(false);
    queue.runNext();
    queue.setPaused(true);
    clock.restart();
    sinceLast.start();
    latency.start();
    tick.start();
    while (running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double downloadSeconds = double(clock.nsecsElapsed()) / 1e9;
    latency.stop();
    tick.stop();

    const TransferItem& large = queue.list().items().first();
    std::printf("enqueue %d planned records with the save: %.3f s (target 1 s), queue file %lld bytes\n", waitingCount,
                enqueueSeconds, static_cast<long long>(fileSize));
    std::printf("progress tick with %d items queued: mean %.1f us, p99 %.1f us, max %.1f us over %zu ticks "
                "(target 50 us); queue file written during the download: %s\n",
                waitingCount + 1, ticks.empty() ? 0 : std::accumulate(ticks.begin(), ticks.end(), 0.0) / ticks.size(),
                percentile(ticks, 0.99), percentile(ticks, 1.0), ticks.size(), savedDuringDownload ? "yes" : "no");
    std::printf("download 1 GiB through the model: %s in %.2f s (%.0f MiB/s); event-loop latency p50 %.2f ms, "
                "p99 %.2f ms, max %.2f ms over %zu samples (target p99 under 50 ms)\n",
                large.state == TransferItem::State::completed ? "completed" : "FAILED", downloadSeconds,
                double(largeSize) / (1 << 20) / downloadSeconds, percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 1.0), latencies.size());
    std::fflush(stdout);
    const bool met = enqueueSeconds <= 1.0 && percentile(ticks, 0.99) <= 50 && !savedDuringDownload &&
                     percentile(latencies, 0.99) < 50 && large.state == TransferItem::State::completed;
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The model reads and writes the application's data folder: one of the benchmark's own.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/dravik-bench-XXXXXX"));
    qputenv("XDG_DATA_HOME", home.path().toUtf8() + "/data");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
    QCoreApplication application(argc, argv);
    return run();
}
