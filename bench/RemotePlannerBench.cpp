#include "FTPClient.h"
#include "ProFTPDServer.h"
#include "TransferPlanner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int folderCount = 200;
constexpr int filesPerFolder = 10;

const ProFTPDServer& server()
{
    // Stopped by the static's destructor when the benchmark program ends.
    static const std::unique_ptr<ProFTPDServer> instance = [] {
        auto s = std::make_unique<ProFTPDServer>();
        for (int folder = 0; folder < folderCount; ++folder)
            for (int file = 0; file < filesPerFolder; ++file)
                s->put(QStringLiteral("/tree/folder %1/file %2.txt").arg(folder).arg(file), "x");
        return s;
    }();
    return *instance;
}

// One listing of the top folder and one of each of its folders.
void planDownload(benchmark::State& state)
{
    const FTPClient client(server().profile(static_cast<FTPProtocol>(state.range(0))), ProFTPDServer::password());
    const QTemporaryDir destination(QDir::tempPath() + QStringLiteral("/dravik-bench-XXXXXX"));
    const FileEntry tree{QStringLiteral("tree"), true, std::nullopt, std::nullopt};
    qsizetype records = 0;
    for (auto _ : state)
        records = TransferPlanner::download(tree, destination.filePath(QStringLiteral("tree")), QStringLiteral("/tree"),
                                            client, 0, {}, {})
                      .size();
    state.counters["records"] = static_cast<double>(records);
    state.counters["perListing"] = benchmark::Counter(static_cast<double>(state.iterations()) * (folderCount + 1),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(planDownload)
    ->Arg(static_cast<int>(FTPProtocol::ftp))
    ->Arg(static_cast<int>(FTPProtocol::explicitTLS))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
