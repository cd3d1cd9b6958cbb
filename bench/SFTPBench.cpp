#include "FTPClient.h"
#include "OpenSSHClient.h"
#include "SSHServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

// Dravik's SFTP engine, through FTPClient, against OpenSSH's own sftp client, side by side against one local sshd,
// both logging in with the same password through the same askpass helper.
namespace {

constexpr qint64 transferSize = 256ll * 1024 * 1024;

SSHServer* server = nullptr;
TemporaryFolder* scratch = nullptr;

QString remoteFile()
{
    return server->home() + QStringLiteral("/big.bin");
}
QString localFile()
{
    return scratch->file(QStringLiteral("big.bin"));
}

void writeRandomFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the transfer file");
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 written = 0; written < transferSize; written += block.size()) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        file.write(block);
    }
}

FTPClient dravik()
{
    return FTPClient(server->profile(), server->password());
}

// OpenSSH's sftp with a batch file, pinned to the same host key through its own scan. Returns
// sftp's complaint when it fails.
QString openSSH(const QString& batch, bool scan, const QStringList& limits = {})
{
    const QString knownHosts = scratch->file(QStringLiteral("known_hosts"));
    if (scan)
        OpenSSHClient::scan(server->port(), knownHosts);
    return OpenSSHClient::run(*server, server->port(), knownHosts,
                              scratch->write(QStringLiteral("batch"), batch.toUtf8()), limits);
}

void runOpenSSH(benchmark::State& state, const QString& batch, const QStringList& limits = {})
{
    const QString complaint = openSSH(batch, true, limits);
    if (!complaint.isNull())
        state.SkipWithError(complaint.toStdString().c_str());
}

void DravikDownload(benchmark::State& state)
{
    const QString target = scratch->file(QStringLiteral("down"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        dravik().download(remoteFile(), target, false, std::nullopt, std::nullopt, false, {}, {});
    }
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void OpenSSHDownload(benchmark::State& state)
{
    for (auto _ : state)
        runOpenSSH(state, QStringLiteral("get %1 %2\n").arg(remoteFile(), scratch->file(QStringLiteral("down-sftp"))));
    state.SetBytesProcessed(state.iterations() * transferSize);
}

// OpenSSH held to Dravik's window of 64 requests of 32 KiB: whatever its defaults gain beyond that
// (larger reads where the server allows them) shows against OpenSSHDownload.
void OpenSSHDownloadDravikWindow(benchmark::State& state)
{
    for (auto _ : state)
        runOpenSSH(state, QStringLiteral("get %1 %2\n").arg(remoteFile(), scratch->file(QStringLiteral("down-window"))),
                   {QStringLiteral("-R"), QStringLiteral("64"), QStringLiteral("-B"), QStringLiteral("32768")});
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void DravikUpload(benchmark::State& state)
{
    for (auto _ : state)
        dravik().upload(localFile(), server->home() + QStringLiteral("/up.bin"), true, std::nullopt, {}, {});
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void OpenSSHUpload(benchmark::State& state)
{
    for (auto _ : state)
        runOpenSSH(state,
                   QStringLiteral("put %1 %2\n").arg(localFile(), server->home() + QStringLiteral("/up-sftp.bin")));
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void DravikList(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(dravik().list(server->home() + QStringLiteral("/small"), {}));
}

void OpenSSHList(benchmark::State& state)
{
    for (auto _ : state)
        runOpenSSH(state, QStringLiteral("ls %1\n").arg(server->home() + QStringLiteral("/small")));
}

} // namespace

BENCHMARK(DravikDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(OpenSSHDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(OpenSSHDownloadDravikWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DravikUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(OpenSSHUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DravikList)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(OpenSSHList)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!SSHServer::canCreateAccounts()) {
        std::fprintf(stderr, "sftp_bench needs root to create the login account of its sshd\n");
        return 0;
    }
    SSHServer sshd;
    TemporaryFolder folder;
    server = &sshd;
    scratch = &folder;
    writeRandomFile(localFile());
    QFile::copy(localFile(), remoteFile());
    QDir(sshd.home()).mkpath(QStringLiteral("small"));
    for (int index = 0; index < 10; ++index) {
        QFile file(sshd.home() + QStringLiteral("/small/file %1").arg(index));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
    }
    sshd.giveToAccount(sshd.home());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
