// Dravik's FTP engine against curl run once per file and lftp's mirror over a path of 0, 10 and
// 50 ms round trip: a local ProFTPD with explicit TLS behind a delaying relay that covers its
// control port and its passive range. A folder of 100 files of 4 KiB and a 16 MiB file, each way,
// one run of each. Every FTP operation is a curl run with its own login, so on a long path the
// time goes to round trips per file; this is where they show. Prints seconds and ratios.
#include "ChildProcess.h"
#include "DelayProxy.h"
#include "DownloadCheckpoint.h"
#include "FTPClient.h"
#include "Measurement.h"
#include "ProFTPDServer.h"
#include "SystemCall.h"
#include "TemporaryFolder.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "TransferRequest.h"
#include "TransferRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Measurement::load;
using Measurement::seconds;

namespace {

constexpr int fileCount = 100;
constexpr qint64 smallSize = 4096;
constexpr qint64 largeSize = 16ll * 1024 * 1024;
// The relay listens where the certificate is valid; the server stands behind it on another address.
const QString relayAddress = u"127.0.0.1"_s;
const QString serverAddress = u"127.0.0.2"_s;

// Runs a program to its end, its diagnostics drained; throws when it fails.
void run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
         const std::optional<QStringList>& environment = std::nullopt)
{
    ChildProcess child({program, arguments, environment});
    if (!input.isEmpty())
        child.write(input);
    child.closeStandardInput();
    const QByteArray diagnostics = SystemCall::readToEnd(child.standardError());
    if (child.waitForExit() != 0)
        throw std::runtime_error(QString(program + u" failed: "_s).toStdString() + diagnostics.toStdString());
}

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
// once once the folders are there.
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
    std::atomic<qsizetype> next = 0;
    std::vector<std::jthread> workers;
    for (int worker = 0; worker < simultaneous; ++worker)
        workers.emplace_back([&] {
            for (qsizetype index = next++; index < files.size(); index = next++)
                runner.executeTransfer(files.at(index), {}, {});
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

void measure(const ProFTPDServer& server, const TemporaryFolder& scratch, std::chrono::milliseconds roundTrip)
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

    Figures folderDown{};
    folderDown.dravik = seconds([&] {
        dravik(client, false, {FileEntry{u"many"_s, true, {}, {}}, local(u"dravik-many"_s), u"/many"_s});
    });
    folderDown.curl = seconds([&] {
        QDir().mkpath(local(u"curl-many"_s));
        curl(profile, {u"--list-only"_s, u"--output"_s, u"/dev/null"_s}, u"/many/"_s);
        for (int i = 0; i < fileCount; ++i)
            curl(profile, {u"--output"_s, local(u"curl-many/f%1"_s.arg(i))}, u"/many/f%1"_s.arg(i));
    });
    folderDown.lftp = seconds([&] { lftp(profile, u"mirror /many %1"_s.arg(local(u"lftp-many"_s))); });

    Figures folderUp{};
    folderUp.dravik = seconds([&] {
        dravik(client, true, {FileEntry{u"many"_s, true, {}, {}}, local(u"dravik-many"_s), u"/up-dravik-"_s + tag});
    });
    folderUp.curl = seconds([&] {
        curl(profile, {u"--quote"_s, u"MKD /up-curl-"_s + tag, u"--head"_s}, u"/"_s);
        for (int i = 0; i < fileCount; ++i)
            curl(profile, {u"--upload-file"_s, local(u"curl-many/f%1"_s.arg(i))}, u"/up-curl-%1/f%2"_s.arg(tag).arg(i));
    });
    folderUp.lftp = seconds([&] { lftp(profile, u"mirror -R %1 /up-lftp-%2"_s.arg(local(u"lftp-many"_s), tag)); });

    // Four at once, against lftp's mirror with as many.
    const double parallelDown = seconds([&] {
        dravik(client, false, {FileEntry{u"many"_s, true, {}, {}}, local(u"dravik-4-many"_s), u"/many"_s}, 4);
    });
    const double parallelDownLftp =
        seconds([&] { lftp(profile, u"mirror --parallel=4 /many %1"_s.arg(local(u"lftp-4-many"_s))); });
    const double parallelUp = seconds([&] {
        dravik(client, true, {FileEntry{u"many"_s, true, {}, {}}, local(u"dravik-4-many"_s), u"/up-dravik-4-"_s + tag},
               4);
    });
    const double parallelUpLftp =
        seconds([&] { lftp(profile, u"mirror -R --parallel=4 %1 /up-lftp-4-%2"_s.arg(local(u"lftp-4-many"_s), tag)); });

    Figures largeDown{};
    largeDown.dravik = seconds([&] {
        dravik(client, false,
               {FileEntry{u"large.bin"_s, false, largeSize, {}}, local(u"dravik.bin"_s), u"/large.bin"_s});
    });
    largeDown.curl = seconds([&] { curl(profile, {u"--output"_s, local(u"curl.bin"_s)}, u"/large.bin"_s); });
    largeDown.lftp = seconds([&] { lftp(profile, u"get /large.bin -o %1"_s.arg(local(u"lftp.bin"_s))); });

    Figures largeUp{};
    largeUp.dravik = seconds([&] {
        dravik(client, true,
               {FileEntry{u"large.bin"_s, false, {}, {}}, local(u"dravik.bin"_s), u"/up-dravik-"_s + tag + u".bin"_s});
    });
    largeUp.curl = seconds([&] {
        curl(profile, {u"--upload-file"_s, local(u"curl.bin"_s)}, u"/up-curl-"_s + tag + u".bin"_s);
    });
    largeUp.lftp = seconds([&] { lftp(profile, u"put %1 -o /up-lftp-%2.bin"_s.arg(local(u"lftp.bin"_s), tag)); });

    for (const QString& name : {u"dravik"_s, u"curl"_s, u"lftp"_s})
        if (QFileInfo(local(name + u".bin"_s)).size() != largeSize)
            throw std::runtime_error("a download came out short");
    for (const QString& name : {u"dravik"_s, u"curl"_s, u"lftp"_s, u"dravik-4"_s, u"lftp-4"_s})
        if (QDir(local(name + u"-many"_s)).entryList(QDir::Files).size() != fileCount)
            throw std::runtime_error("a folder download came out short");

    std::printf("round trip %lld ms (load %s)\n", static_cast<long long>(roundTrip.count()), load().constData());
    print("download 100 x 4 KiB:", folderDown);
    print("upload 100 x 4 KiB:", folderUp);
    std::printf("  %-22s Dravik %7.2f s, lftp %7.2f s; Dravik/lftp %.2f\n", "download, 4 at once:", parallelDown,
                parallelDownLftp, parallelDown / parallelDownLftp);
    std::printf("  %-22s Dravik %7.2f s, lftp %7.2f s; Dravik/lftp %.2f\n", "upload, 4 at once:", parallelUp,
                parallelUpLftp, parallelUp / parallelUpLftp);
    print("download 16 MiB:", largeDown);
    print("upload 16 MiB:", largeUp);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    try {
        ProFTPDServer server({.address = serverAddress});
        for (int i = 0; i < fileCount; ++i)
            server.put(u"/many/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
        server.put(u"/large.bin"_s, ftptest::randomBytes(largeSize));
        TemporaryFolder scratch;
        const QStringList given = application.arguments().mid(1);
        for (const auto roundTrip : {0ms, 10ms, 50ms})
            if (given.isEmpty() || given.contains(QString::number(roundTrip.count())))
                measure(server, scratch, roundTrip);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ftp_latency_measure: %s\n", failure.what());
        return 1;
    }
    return 0;
}
