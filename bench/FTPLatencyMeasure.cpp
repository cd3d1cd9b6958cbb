// Dravik's FTP engine against curl run once per file and lftp's mirror over a path of 0, 10 and
// 50 ms round trip: a local ProFTPD with explicit TLS behind a delaying relay that covers its
// control port and its passive range. A folder of 100 files of 4 KiB and a 16 MiB file, each way,
// one run of each. A run may be narrowed to some round trips and cases ("10 upload upload-large":
// download, upload, download-4, upload-4, download-large, upload-large, and dravik-cli's
// cli-small and cli-folder-size, which run only when named). Every FTP operation is a curl run
// with its own login, so on a long path the time goes to round trips per file; this is where they
// show. Prints seconds and ratios.
#include "ChildProcess.h"
#include "DelayProxy.h"
#include "DownloadCheckpoint.h"
#include "FTPBatch.h"
#include "FTPClient.h"
#include "Measurement.h"
#include "ProFTPDServer.h"
#include "TemporaryFolder.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "TransferRequest.h"
#include "TransferRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Measurement::load;
using Measurement::run;
using Measurement::seconds;
using Measurement::Selection;

namespace {

constexpr int fileCount = 100;
// The files of dravik-cli's requests.
constexpr int cliCount = 200;
// The files named one by one from a large folder and a small one.
constexpr int namedCount = 100;
constexpr qint64 smallSize = 4096;
constexpr qint64 largeSize = 16ll * 1024 * 1024;
// The relay listens where the certificate is valid; the server stands behind it on another address.
const QString relayAddress = u"127.0.0.1"_s;
const QString serverAddress = u"127.0.0.2"_s;

// curl as somebody would run it by hand for one file: its defaults, TLS required.
void curl(const ServerProfile& profile, const QStringList& extra, const QString& remote)
{
    const QString url = u"ftp://%1:%2%3"_s.arg(profile.host).arg(profile.port).arg(remote);
    run(u"/usr/bin/curl"_s,
        QStringList{u"--disable"_s, u"--config"_s, u"-"_s, u"--silent"_s, u"--show-error"_s, u"--ssl-reqd"_s,
                    u"--ftp-skip-pasv-ip"_s} +
            extra + QStringList{u"--url"_s, url},
        ("user = \"" + FTPClient::escapeConfig(profile.username + u':' + ProFTPDServer::password()) + "\"\n").toUtf8());
}

void lftp(const ServerProfile& profile, const QString& command)
{
    const QString script = u"set ssl:ca-file %1; set ftp:ssl-force true; set ftp:ssl-protect-data true; "
                           "set ftp:prefer-epsv true; set net:max-retries 1; "
                           "open --env-password -u %2 ftp://%3:%4; %5"_s
                               .arg(TestCertificates::file(u"ca.crt"_s), profile.username, profile.host)
                               .arg(profile.port)
                               .arg(command);
    run(u"/usr/bin/lftp"_s, {u"-c"_s, script}, {},
        ChildProcess::inheritedEnvironment() + QStringList{u"LFTP_PASSWORD="_s + ProFTPDServer::password()});
}

// What the window's queue does with a request: plan it, then run its items, `simultaneous` files at
// once once the folders are there; with more than one at once, each lane runs up to a batch of
// files in one curl run.
void dravik(const FTPClient& client, bool upload, const TransferSource& source, int simultaneous = 1)
{
    const TransferRunner runner({{}, {}, [](const QString&) {}, [](const TransferItem&) {}});
    QList<TransferItem> files;
    for (const PlannedTransfer& record : TransferRequest::plan(upload, {source}, client, {}, {})) {
        TransferItem item = TransferItem::planned(record, upload, client);
        if (record.directory) {
            runner.executeTransfer(item, {}, {});
            continue;
        }
        if (!upload)
            item.id = DownloadCheckpoint::idFor(client.profile().id, record.remote, record.local);
        files.append(item);
    }
    std::mutex taking;
    qsizetype next = 0;
    const auto take = [&] {
        const std::scoped_lock held(taking);
        const qsizetype count = simultaneous == 1 ? 1
                                                  : std::clamp((files.size() - next + simultaneous - 1) / simultaneous,
                                                               qsizetype(1), FTPBatch::maximumFiles);
        const QList<TransferItem> batch = files.mid(next, count);
        next += batch.size();
        return batch;
    };
    const TransferRunner::BatchEvents events{[](qsizetype) { return FTPClient::Progress(); },
                                             [](qsizetype) { return true; }, [](qsizetype) {},
                                             [](qsizetype, bool, std::exception_ptr failure) {
                                                 if (failure)
                                                     std::rethrow_exception(failure);
                                             }};
    std::vector<std::jthread> workers;
    for (int worker = 0; worker < simultaneous; ++worker)
        workers.emplace_back([&] {
            for (QList<TransferItem> batch = take(); !batch.isEmpty(); batch = take())
                if (batch.size() == 1)
                    runner.executeTransfer(batch.first(), {}, {});
                else
                    runner.executeBatch(batch, QList<std::stop_token>(batch.size()), events, {});
        });
}

struct Figures {
    double dravik, curl, lftp;
};

void print(const char* what, const Figures& f)
{
    std::printf("  %-22s Dravik %7.2f s, curl per file %7.2f s, lftp %7.2f s; Dravik/curl %.2f, Dravik/lftp %.2f\n",
                what, f.dravik, f.curl, f.lftp, f.dravik / f.curl, f.dravik / f.lftp);
}

// The upload sources, made once: uploads need not wait for the downloads to bring them.
struct Sources {
    QString many;
    QString large;
    QString small;
};

void measure(const ProFTPDServer& server, const TemporaryFolder& scratch, const Sources& sources,
             std::chrono::milliseconds roundTrip, const Selection& selection)
{
    const auto [firstPassive, lastPassive] = server.passivePorts();
    std::vector<DelayProxy::Route> routes{
        {quint16(server.profile(FTPProtocol::explicitTLS).port), 0, relayAddress, serverAddress}};
    for (const DelayProxy::Route& route :
         DelayProxy::portRange(quint16(firstPassive), quint16(lastPassive), relayAddress, serverAddress))
        routes.push_back(route);
    // Even without delay the relay stays: the certificate names only the relay's address.
    const DelayProxy relay(roundTrip, routes);
    ServerProfile profile = server.profile(FTPProtocol::explicitTLS);
    profile.host = relayAddress;
    profile.port = relay.port();
    const FTPClient client(profile, ProFTPDServer::password());
    const QString tag = QString::number(roundTrip.count());
    const auto local = [&](const QString& name) { return scratch.file(tag + u'-' + name); };
    const FileEntry many{u"many"_s, true, {}, {}};
    const auto sourceFile = [&](int i) { return sources.many + u"/f%1"_s.arg(i); };

    std::printf("round trip %lld ms (load %s)\n", static_cast<long long>(roundTrip.count()), load().constData());
    if (selection.wants(u"download"_s)) {
        Figures f{};
        f.dravik = seconds([&] { dravik(client, false, {many, local(u"dravik-many"_s), u"/many"_s}); });
        f.curl = seconds([&] {
            QDir().mkpath(local(u"curl-many"_s));
            curl(profile, {u"--list-only"_s, u"--output"_s, u"/dev/null"_s}, u"/many/"_s);
            for (int i = 0; i < fileCount; ++i)
                curl(profile, {u"--output"_s, local(u"curl-many/f%1"_s.arg(i))}, u"/many/f%1"_s.arg(i));
        });
        f.lftp = seconds([&] { lftp(profile, u"mirror /many %1"_s.arg(local(u"lftp-many"_s))); });
        for (const QString& name : {u"dravik"_s, u"curl"_s, u"lftp"_s})
            if (QDir(local(name + u"-many"_s)).entryList(QDir::Files).size() != fileCount)
                throw std::runtime_error("a folder download came out short");
        print("download 100 x 4 KiB:", f);
    }
    if (selection.wants(u"upload"_s)) {
        Figures f{};
        f.dravik = seconds([&] {
            dravik(client, true, {FileEntry{u"many"_s, true, {}, {}}, sources.many, u"/up-dravik-"_s + tag});
        });
        f.curl = seconds([&] {
            curl(profile, {u"--quote"_s, u"MKD /up-curl-"_s + tag, u"--head"_s}, u"/"_s);
            for (int i = 0; i < fileCount; ++i)
                curl(profile, {u"--upload-file"_s, sourceFile(i)}, u"/up-curl-%1/f%2"_s.arg(tag).arg(i));
        });
        f.lftp = seconds([&] { lftp(profile, u"mirror -R %1 /up-lftp-%2"_s.arg(sources.many, tag)); });
        print("upload 100 x 4 KiB:", f);
    }
    // Four at once, against lftp's mirror with as many.
    if (selection.wants(u"download-4"_s)) {
        const double dravik4 = seconds([&] {
            dravik(client, false, {many, local(u"dravik-4-many"_s), u"/many"_s}, 4);
        });
        const double lftp4 =
            seconds([&] { lftp(profile, u"mirror --parallel=4 /many %1"_s.arg(local(u"lftp-4-many"_s))); });
        for (const QString& name : {u"dravik-4"_s, u"lftp-4"_s})
            if (QDir(local(name + u"-many"_s)).entryList(QDir::Files).size() != fileCount)
                throw std::runtime_error("a folder download came out short");
        std::printf("  %-22s Dravik %7.2f s, lftp %7.2f s; Dravik/lftp %.2f\n", "download, 4 at once:", dravik4, lftp4,
                    dravik4 / lftp4);
    }
    if (selection.wants(u"upload-4"_s)) {
        const double dravik4 = seconds([&] {
            dravik(client, true, {many, sources.many, u"/up-dravik-4-"_s + tag}, 4);
        });
        const double lftp4 =
            seconds([&] { lftp(profile, u"mirror -R --parallel=4 %1 /up-lftp-4-%2"_s.arg(sources.many, tag)); });
        std::printf("  %-22s Dravik %7.2f s, lftp %7.2f s; Dravik/lftp %.2f\n", "upload, 4 at once:", dravik4, lftp4,
                    dravik4 / lftp4);
    }
    // dravik-cli, a process of its own for each request, against curl one run per file.
    const QString profileFile = local(u"profile.json"_s);
    QFile(profileFile).remove();
    ftptest::writeFile(profileFile, QJsonDocument(profile.toJson()).toJson());
    if (selection.wants(u"cli-small"_s)) {
        curl(profile, {u"--quote"_s, u"MKD /cli-up-"_s + tag, u"--head"_s}, u"/"_s);
        const double cliUp = seconds([&] {
            Measurement::cli(profileFile, ProFTPDServer::password(), {u"upload"_s, sources.small, u"/cli-up-"_s + tag});
        });
        const double curlUp = seconds([&] {
            curl(profile, {u"--quote"_s, u"MKD /curl-up-small-"_s + tag, u"--head"_s}, u"/"_s);
            for (int i = 0; i < cliCount; ++i)
                curl(profile, {u"--upload-file"_s, sources.small + u"/f%1"_s.arg(i)},
                     u"/curl-up-small-%1/f%2"_s.arg(tag).arg(i));
        });
        const double cliDown = seconds([&] {
            Measurement::cli(profileFile, ProFTPDServer::password(),
                             {u"download"_s, u"/small"_s, local(u"cli-down"_s)});
        });
        const double curlDown = seconds([&] {
            QDir().mkpath(local(u"curl-small"_s));
            curl(profile, {u"--list-only"_s, u"--output"_s, u"/dev/null"_s}, u"/small/"_s);
            for (int i = 0; i < cliCount; ++i)
                curl(profile, {u"--output"_s, local(u"curl-small/f%1"_s.arg(i))}, u"/small/f%1"_s.arg(i));
        });
        if (QDir(local(u"cli-down/small"_s)).entryList(QDir::Files).size() != cliCount)
            throw std::runtime_error("dravik-cli's download came out short");
        std::printf("  %-22s dravik-cli %7.2f s, curl per file %7.2f s; ratio %.2f\n", "cli upload 200 x 4 KiB:", cliUp,
                    curlUp, cliUp / curlUp);
        std::printf("  %-22s dravik-cli %7.2f s, curl per file %7.2f s; ratio %.2f\n",
                    "cli download 200 x 4 KiB:", cliDown, curlDown, cliDown / curlDown);
    }
    // The same files named one by one from a folder of 200 and from one of 2000: a check that
    // listed the whole folder for each file would take ten times as long in the second.
    if (selection.wants(u"cli-folder-size"_s)) {
        double perFile[2] = {};
        for (const int count : {200, 2000}) {
            QStringList named{u"download"_s};
            for (int i = 0; i < namedCount; ++i)
                named << u"/k%1/f%2"_s.arg(count).arg(i);
            const QString into = local(u"cli-k%1"_s.arg(count));
            QDir().mkpath(into);
            perFile[count == 2000] =
                seconds([&] { Measurement::cli(profileFile, ProFTPDServer::password(), named << into); }) * 1000 /
                namedCount;
            if (QDir(into).entryList(QDir::Files).size() != namedCount)
                throw std::runtime_error("dravik-cli's download came out short");
        }
        std::printf("  %-22s %.1f ms per file from a folder of 200, %.1f ms from one of 2000\n",
                    "cli download 1 KiB:", perFile[0], perFile[1]);
    }
    if (selection.wants(u"download-large"_s)) {
        Figures f{};
        f.dravik = seconds([&] {
            dravik(client, false,
                   {FileEntry{u"large.bin"_s, false, largeSize, {}}, local(u"dravik.bin"_s), u"/large.bin"_s});
        });
        f.curl = seconds([&] { curl(profile, {u"--output"_s, local(u"curl.bin"_s)}, u"/large.bin"_s); });
        f.lftp = seconds([&] { lftp(profile, u"get /large.bin -o %1"_s.arg(local(u"lftp.bin"_s))); });
        for (const QString& name : {u"dravik"_s, u"curl"_s, u"lftp"_s})
            if (QFileInfo(local(name + u".bin"_s)).size() != largeSize)
                throw std::runtime_error("a download came out short");
        print("download 16 MiB:", f);
    }
    if (selection.wants(u"upload-large"_s)) {
        Figures f{};
        f.dravik = seconds([&] {
            dravik(client, true,
                   {FileEntry{u"large.bin"_s, false, {}, {}}, sources.large, u"/up-dravik-"_s + tag + u".bin"_s});
        });
        f.curl = seconds([&] { curl(profile, {u"--upload-file"_s, sources.large}, u"/up-curl-"_s + tag + u".bin"_s); });
        f.lftp = seconds([&] { lftp(profile, u"put %1 -o /up-lftp-%2.bin"_s.arg(sources.large, tag)); });
        print("upload 16 MiB:", f);
        // The engine's part of it, without the request's planning.
        const double alone = seconds(
            [&] { client.upload(sources.large, u"/up-alone-"_s + tag + u".bin"_s, false, {}, [](double) {}, {}); });
        std::printf("  %-22s FTPClient::upload %7.2f s\n", "upload 16 MiB, unplanned:", alone);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // Each figure as soon as it is known: a long run may be cut short.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        ProFTPDServer server({.address = serverAddress});
        for (int i = 0; i < fileCount; ++i)
            server.put(u"/many/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
        server.put(u"/large.bin"_s, ftptest::randomBytes(largeSize));
        TemporaryFolder scratch;
        const Sources sources{scratch.file(u"source-many"_s),
                              scratch.write(u"source.bin"_s, ftptest::randomBytes(largeSize)),
                              scratch.file(u"source-small"_s)};
        for (int i = 0; i < fileCount; ++i)
            scratch.write(u"source-many/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
        for (int i = 0; i < cliCount; ++i) {
            scratch.write(u"source-small/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
            server.put(u"/small/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
        }
        for (const int count : {200, 2000})
            for (int i = 0; i < count; ++i)
                server.put(u"/k%1/f%2"_s.arg(count).arg(i), ftptest::randomBytes(1024));
        const Selection chosen = Measurement::selection(application.arguments().mid(1));
        for (const auto roundTrip : chosen.roundTrips)
            measure(server, scratch, sources, roundTrip, chosen);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ftp_latency_measure: %s\n", failure.what());
        return 1;
    }
    return 0;
}
