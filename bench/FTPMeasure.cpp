// Side by side against one local ProFTPD: FTPClient::download of a 1 GiB file against bare curl
// writing to a file, and FTPClient::list of 50,000 entries against bare curl MLSD to /dev/null.
// Prints the best of several rounds and the ratios.
#include "ChildProcess.h"
#include "FTPClient.h"
#include "ProFTPDServer.h"
#include "TemporaryFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr qint64 largeSize = qint64(1) << 30;
constexpr int entryCount = 50000;
constexpr int rounds = 5;

double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void bareCurl(const ServerProfile& profile, const QString& url, const QStringList& extra)
{
    QStringList arguments{"--disable", "--config", "-", "--silent", "--show-error", "--ftp-pasv", "--ftp-skip-pasv-ip"};
    if (FTPProtocols::usesTLS(profile.protocolType))
        arguments << "--ssl-reqd"
                  << "--tlsv1.2";
    ChildProcess curl({QStringLiteral("/usr/bin/curl"), arguments + extra + QStringList{"--url", url}, std::nullopt});
    curl.write("user = \"" + FTPClient::escapeConfig(profile.username + ':' + ProFTPDServer::password()).toUtf8() +
               "\"\n");
    curl.closeStandardInput();
    char buffer[4096];
    while (::read(curl.standardError(), buffer, sizeof buffer) > 0) {
    }
    if (curl.waitForExit() != 0)
        throw std::runtime_error("bare curl failed");
}

// The fastest of several rounds of each, taken in turns so that load from elsewhere on the
// machine hits both alike.
std::pair<double, double> best(const std::function<void()>& bare, const std::function<void()>& client)
{
    double fastestBare = 1e300;
    double fastestClient = 1e300;
    for (int round = 0; round < rounds; ++round) {
        fastestBare = std::min(fastestBare, seconds(bare));
        fastestClient = std::min(fastestClient, seconds(client));
    }
    return {fastestBare, fastestClient};
}

void measure(const ProFTPDServer& server, FTPProtocol protocol, const TemporaryFolder& local)
{
    const ServerProfile profile = server.profile(protocol);
    const FTPClient client(profile, ProFTPDServer::password());
    const QString destination = local.file(QStringLiteral("large.bin"));

    const auto [curlDownload, clientDownload] = best(
        [&] {
            bareCurl(profile, client.url("/large.bin", false), {"--output", destination});
            QFile::remove(destination);
        },
        [&] {
            client.download("/large.bin", destination, false, {}, {}, false, [](double) {}, {});
            QFile::remove(destination);
        });
    qsizetype listed = 0;
    const auto [curlList, clientList] = best(
        [&] {
            bareCurl(profile, client.url("/many", true), {"--request", "MLSD", "--output", "/dev/null"});
        },
        [&] { listed = client.list("/many", {}).size(); });

    const double mebibytes = double(largeSize) / (1 << 20);
    std::printf("%s\n", qPrintable(FTPProtocols::rawValue(protocol)));
    std::printf("  download 1 GiB: curl %.2f s (%.0f MiB/s), FTPClient %.2f s (%.0f MiB/s), throughput ratio %.3f\n",
                curlDownload, mebibytes / curlDownload, clientDownload, mebibytes / clientDownload,
                curlDownload / clientDownload);
    std::printf("  list %lld entries: curl MLSD %.3f s, FTPClient::list %.3f s, time ratio %.3f\n",
                static_cast<long long>(listed), curlList, clientList, clientList / curlList);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ProFTPDServer server;
    QFile large(server.local(QStringLiteral("/large.bin")));
    if (!large.open(QIODevice::WriteOnly))
        return 1;
    const QByteArray block(1 << 20, 'd');
    for (qint64 written = 0; written < largeSize; written += block.size())
        large.write(block);
    large.close();
    QDir().mkpath(server.local(QStringLiteral("/many")));
    for (int i = 0; i < entryCount; ++i)
        QFile(server.local(QStringLiteral("/many/entry %1.txt").arg(i))).open(QIODevice::WriteOnly);

    TemporaryFolder local;
    for (FTPProtocol protocol : {FTPProtocol::ftp, FTPProtocol::explicitTLS})
        measure(server, protocol, local);
    return 0;
}
