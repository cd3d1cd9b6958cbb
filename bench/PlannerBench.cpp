#include "FTPError.h"
#include "TransferPlanner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int folderCount = 1000;

// `files` empty files spread over `folderCount` folders below one top folder.
QString makeTree(const QTemporaryDir& root, const QString& name, int files)
{
    const QString top = root.filePath(name);
    for (int folder = 0; folder < folderCount; ++folder) {
        const QByteArray path =
            QFile::encodeName(top + QStringLiteral("/folder %1").arg(folder, 4, 10, QLatin1Char('0')));
        QDir().mkpath(QFile::decodeName(path));
        for (int file = folder; file < files; file += folderCount)
            ::close(::open(QByteArray(path + "/file " + QByteArray::number(file) + ".txt").constData(),
                           O_CREAT | O_WRONLY, 0600));
    }
    return top;
}

const QTemporaryDir& trees()
{
    static const QTemporaryDir root(QDir::tempPath() + QStringLiteral("/dravik-bench-XXXXXX"));
    return root;
}

// The largest tree a request may hold: the top folder, 1,000 folders and 48,999 files.
const QString& fullTree()
{
    static const QString path = makeTree(trees(), QStringLiteral("full"), 48999);
    return path;
}

// 50,000 files: planning walks until the 50,001st record and stops with the batch limit.
const QString& oversizedTree()
{
    static const QString path = makeTree(trees(), QStringLiteral("over"), 50000);
    return path;
}

const TransferPlanner::ListFolder noServer = [](const QString&) -> QList<FileEntry> {
    throw std::logic_error("an upload to a new folder lists nothing");
};

void planUpload(benchmark::State& state)
{
    const QString& tree = fullTree();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            TransferPlanner::upload(tree, QStringLiteral("/new"), std::nullopt, noServer, 0, {}, {}));
    state.counters["records"] = 50000;
}

void planOversizedUpload(benchmark::State& state)
{
    const QString& tree = oversizedTree();
    for (auto _ : state) {
        try {
            TransferPlanner::upload(tree, QStringLiteral("/new"), std::nullopt, noServer, 0, {}, {});
            state.SkipWithError("the batch limit did not hold");
        } catch (const FTPError&) {
        }
    }
}

// Argument 0: the tree of planUpload; 1: the tree of planOversizedUpload.
void findOverTheSameTree(benchmark::State& state)
{
    const QString& tree = state.range(0) == 0 ? fullTree() : oversizedTree();
    for (auto _ : state) {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        find.start(QStringLiteral("/usr/bin/find"), {tree});
        find.waitForFinished(-1);
    }
}

} // namespace

BENCHMARK(planUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(planOversizedUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(findOverTheSameTree)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
