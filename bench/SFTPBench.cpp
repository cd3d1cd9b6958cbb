#include "ChildProcess.h"
#include "FTPClient.h"
#include "SSHPasswordSocket.h"
#include "SSHServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <memory>
#include <unistd.h>

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
    SSHPasswordSocket password(server->password());
    const QString knownHosts = scratch->file(QStringLiteral("known_hosts"));
    if (scan) {
        QByteArray keys;
        SSHServer::run(QStringLiteral("/usr/bin/ssh-keyscan"),
                       {QStringLiteral("-T"), QStringLiteral("10"), QStringLiteral("-p"),
                        QString::number(server->port()), QStringLiteral("127.0.0.1")},
                       &keys);
        scratch->write(QStringLiteral("known_hosts"), keys);
    }
    const QString batchFile = scratch->write(QStringLiteral("batch"), batch.toUtf8());
    QStringList arguments{QStringLiteral("-F"), QStringLiteral("/dev/null"), QStringLiteral("-q"), QStringLiteral("-o"),
                          QStringLiteral("UserKnownHostsFile=") + knownHosts, QStringLiteral("-o"),
                          QStringLiteral("PreferredAuthentications=password"),
                          // Before -b, whose implied batch mode would forbid the password; ssh
                          // keeps the first value it is given.
                          QStringLiteral("-o"), QStringLiteral("BatchMode=no"), QStringLiteral("-P"),
                          QString::number(server->port()), QStringLiteral("-b"), batchFile};
    arguments << limits << server->user() + QStringLiteral("@127.0.0.1");
    ChildProcess sftp({QStringLiteral("/usr/bin/sftp"), arguments,
                       QStringList{QStringLiteral("PATH=/usr/bin:/bin"), QStringLiteral("HOME=/root"),
                                   QStringLiteral("SSH_ASKPASS=") + QCoreApplication::applicationDirPath() +
                                       QStringLiteral("/AskRelay"),
                                   QStringLiteral("SSH_ASKPASS_REQUIRE=force"), QStringLiteral("DISPLAY=dravik"),
                                   QStringLiteral("DRAVIK_AUTH_SOCKET=") + password.path()}});
    sftp.closeStandardInput();
    char buffer[4096];
    while (::read(sftp.standardOutput(), buffer, sizeof buffer) > 0) {
    }
    QByteArray complaint;
    ssize_t got;
    while ((got = ::read(sftp.standardError(), buffer, sizeof buffer)) > 0)
        complaint.append(buffer, got);
    return sftp.waitForExit() == 0 ? QString() : QString::fromUtf8(complaint);
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

// OpenSSH held to Dravik's own rule of one 32 KiB request in flight: what that rule alone costs.
void OpenSSHDownloadOneRequest(benchmark::State& state)
{
    for (auto _ : state)
        runOpenSSH(state, QStringLiteral("get %1 %2\n").arg(remoteFile(), scratch->file(QStringLiteral("down-one"))),
                   {QStringLiteral("-R"), QStringLiteral("1"), QStringLiteral("-B"), QStringLiteral("32768")});
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
BENCHMARK(OpenSSHDownloadOneRequest)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
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
