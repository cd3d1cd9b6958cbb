// Dravik's SFTP engine against OpenSSH's sftp over a path of 0, 10 and 50 ms round trip: a local
// sshd behind a delaying relay, a 16 MiB download and upload each, one run of each. What a long
// path costs is round trips, which a loopback benchmark never shows. A run may be narrowed to some
// round trips and cases ("0 cli-small": large, and dravik-cli's cli-small, which runs only when
// named: a folder of 200 files of 4 KiB each way, logged in with a key, against sftp and a bare
// ssh run once per file). Prints seconds and ratios.
#include "DelayProxy.h"
#include "FTPClient.h"
#include "Measurement.h"
#include "OpenSSHClient.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Measurement::load;
using Measurement::seconds;
using Measurement::Selection;

namespace {

constexpr qint64 transferSize = 16ll * 1024 * 1024;
// The files of dravik-cli's requests.
constexpr int cliCount = 200;
constexpr qint64 smallSize = 4096;

void check(const QString& complaint)
{
    if (!complaint.isNull())
        throw std::runtime_error(complaint.toStdString());
}

void openSSH(const SSHServer& server, quint16 port, const TemporaryFolder& scratch, const QString& batch,
             bool withKey = false)
{
    check(OpenSSHClient::run(server, port, scratch.file(u"known_hosts"_s), scratch.write(u"batch"_s, batch.toUtf8()),
                             {}, withKey));
}

void large(const SSHServer& server, const TemporaryFolder& scratch, quint16 port)
{
    ServerProfile profile = server.profile();
    profile.port = port;
    const FTPClient dravik(profile, server.password());

    // The first listing scans the host key, as connecting does in the program; the transfers
    // after it find the key kept.
    const double firstList = seconds([&] { dravik.list(server.home(), {}); });
    const double secondList = seconds([&] { dravik.list(server.home(), {}); });
    const QString remote = server.path(u"down.bin"_s);
    const auto download = [&](const QString& name) { return scratch.file(u"down-"_s + name); };
    const double dravikDown =
        seconds([&] { dravik.download(remote, download(u"dravik"_s), true, {}, {}, false, {}, {}); });
    const double openSSHDown =
        seconds([&] { openSSH(server, port, scratch, u"get %1 %2\n"_s.arg(remote, download(u"openssh"_s))); });
    const double dravikUp =
        seconds([&] { dravik.upload(scratch.file(u"up.bin"_s), server.path(u"up-dravik.bin"_s), true, {}, {}, {}); });
    const double openSSHUp = seconds([&] {
        openSSH(server, port, scratch,
                u"put %1 %2\n"_s.arg(scratch.file(u"up.bin"_s), server.path(u"up-openssh.bin"_s)));
    });
    for (const QString& name : {u"dravik"_s, u"openssh"_s}) {
        if (QFileInfo(download(name)).size() != transferSize)
            throw std::runtime_error("a download came out short");
        QFile::remove(download(name));
    }

    std::printf("  list: first %.3f s (with the host-key scan), second %.3f s\n", firstList, secondList);
    std::printf("  download 16 MiB: Dravik %.3f s, OpenSSH sftp %.3f s, time ratio %.2f\n", dravikDown, openSSHDown,
                dravikDown / openSSHDown);
    std::printf("  upload 16 MiB:   Dravik %.3f s, OpenSSH sftp %.3f s, time ratio %.2f\n", dravikUp, openSSHUp,
                dravikUp / openSSHUp);
}

// dravik-cli, a process of its own for each request, against sftp run once per file (the listing
// first for the download, the folder made first for the upload) and against ssh running nothing
// once per file: the least that one run costs.
void cliSmall(const SSHServer& server, const TemporaryFolder& scratch, quint16 port, const QString& tag)
{
    ServerProfile profile = server.profile(true);
    profile.port = port;
    const QString profileFile = scratch.file(tag + u"-profile.json"_s);
    QFile(profileFile).remove();
    ftptest::writeFile(profileFile, QJsonDocument(profile.toJson()).toJson());
    const QString secret = server.secret(true);
    const QString knownHosts = scratch.file(u"known_hosts"_s);
    const QString remote = server.path(u"small"_s);
    const auto cli = [&](const QStringList& words) { Measurement::cli(profileFile, secret, words); };

    const QString upInto = server.path(u"cli-up-"_s + tag);
    openSSH(server, port, scratch, u"mkdir %1\n"_s.arg(upInto), true);
    const double cliUp = seconds([&] { cli({u"upload"_s, scratch.file(u"source-small"_s), upInto}); });
    const double sftpUp = seconds([&] {
        const QString into = server.path(u"sftp-up-"_s + tag);
        openSSH(server, port, scratch, u"mkdir %1\n"_s.arg(into), true);
        for (int i = 0; i < cliCount; ++i)
            openSSH(server, port, scratch,
                    u"put %1 %2/f%3\n"_s.arg(scratch.file(u"source-small/f%1"_s.arg(i)), into).arg(i), true);
    });
    const QString downInto = scratch.file(tag + u"-cli-down"_s);
    const double cliDown = seconds([&] { cli({u"download"_s, remote, downInto}); });
    const double sftpDown = seconds([&] {
        const QString into = scratch.file(tag + u"-sftp-down"_s);
        QDir().mkpath(into);
        openSSH(server, port, scratch, u"ls %1\n"_s.arg(remote), true);
        for (int i = 0; i < cliCount; ++i)
            openSSH(server, port, scratch, u"get %1/f%2 %3/f%2\n"_s.arg(remote).arg(i).arg(into), true);
    });
    const double floor = seconds([&] {
        for (int i = 0; i <= cliCount; ++i)
            check(OpenSSHClient::shell(server, port, knownHosts, u"true"_s, true));
    });
    if (QDir(downInto + u"/small"_s).entryList(QDir::Files).size() != cliCount ||
        QDir(upInto + u"/source-small"_s).entryList(QDir::Files).size() != cliCount)
        throw std::runtime_error("a dravik-cli transfer came out short");
    std::printf("  ssh true, %d runs: %.2f s (%.1f ms a run)\n", cliCount + 1, floor, floor * 1000 / (cliCount + 1));
    for (const auto& [what, dravik, sftp] : {std::tuple{"cli upload 200 x 4 KiB:", cliUp, sftpUp},
                                             std::tuple{"cli download 200 x 4 KiB:", cliDown, sftpDown}})
        std::printf("  %-26s dravik-cli %6.2f s, sftp per file %6.2f s; ratio %.2f, to the ssh floor %.2f\n", what,
                    dravik, sftp, dravik / sftp, dravik / floor);
}

void measure(const SSHServer& server, const TemporaryFolder& scratch, std::chrono::milliseconds roundTrip,
             const Selection& selection)
{
    // Without a delay the client speaks to sshd directly: the relay's own cost stays out of it.
    std::unique_ptr<DelayProxy> relay;
    if (roundTrip > 0ms)
        relay = std::make_unique<DelayProxy>(roundTrip, std::vector<DelayProxy::Route>{{server.port()}});
    const quint16 port = relay ? relay->port() : server.port();
    OpenSSHClient::scan(port, scratch.file(u"known_hosts"_s));
    std::printf("round trip %lld ms (load %s)\n", static_cast<long long>(roundTrip.count()), load().constData());
    if (selection.wants(u"large"_s))
        large(server, scratch, port);
    if (selection.wants(u"cli-small"_s))
        cliSmall(server, scratch, port, QString::number(roundTrip.count()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!SSHServer::canCreateAccounts()) {
        std::fprintf(stderr, "sftp_latency_measure needs root to create the login account of its sshd\n");
        return 0;
    }
    try {
        const Selection chosen = Measurement::selection(application.arguments().mid(1));
        SSHServer server;
        TemporaryFolder scratch;
        if (chosen.wants(u"large"_s)) {
            const QByteArray bytes = ftptest::randomBytes(transferSize);
            server.put(u"down.bin"_s, bytes);
            scratch.write(u"up.bin"_s, bytes);
        }
        if (chosen.wants(u"cli-small"_s)) {
            for (int i = 0; i < cliCount; ++i) {
                ftptest::writeFile(server.path(u"small/f%1"_s.arg(i)), ftptest::randomBytes(smallSize));
                scratch.write(u"source-small/f%1"_s.arg(i), ftptest::randomBytes(smallSize));
            }
            server.giveToAccount(server.home());
        }
        for (const auto roundTrip : chosen.roundTrips)
            measure(server, scratch, roundTrip, chosen);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sftp_latency_measure: %s\n", failure.what());
        return 1;
    }
    return 0;
}
