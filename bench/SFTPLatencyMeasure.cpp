// Dravik's SFTP engine against OpenSSH's sftp over a path of 0, 10 and 50 ms round trip: a local
// sshd behind a delaying relay, a 16 MiB download and upload each, one run of each. What a long
// path costs is round trips, which a loopback benchmark never shows. Prints seconds and ratios.
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
#include <chrono>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Measurement::load;
using Measurement::seconds;

namespace {

constexpr qint64 transferSize = 16ll * 1024 * 1024;

void openSSH(const SSHServer& server, quint16 port, const TemporaryFolder& scratch, const QString& batch)
{
    const QString complaint =
        OpenSSHClient::run(server, port, scratch.file(u"known_hosts"_s), scratch.write(u"batch"_s, batch.toUtf8()));
    if (!complaint.isNull())
        throw std::runtime_error(complaint.toStdString());
}

void measure(const SSHServer& server, const TemporaryFolder& scratch, std::chrono::milliseconds roundTrip)
{
    // Without a delay the client speaks to sshd directly: the relay's own cost stays out of it.
    std::unique_ptr<DelayProxy> relay;
    if (roundTrip > 0ms)
        relay = std::make_unique<DelayProxy>(roundTrip, std::vector<DelayProxy::Route>{{server.port()}});
    const quint16 port = relay ? relay->port() : server.port();
    ServerProfile profile = server.profile();
    profile.port = port;
    const FTPClient dravik(profile, server.password());
    OpenSSHClient::scan(port, scratch.file(u"known_hosts"_s));

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

    std::printf("round trip %lld ms (load %s)\n", static_cast<long long>(roundTrip.count()), load().constData());
    std::printf("  list: first %.3f s (with the host-key scan), second %.3f s\n", firstList, secondList);
    std::printf("  download 16 MiB: Dravik %.3f s, OpenSSH sftp %.3f s, time ratio %.2f\n", dravikDown, openSSHDown,
                dravikDown / openSSHDown);
    std::printf("  upload 16 MiB:   Dravik %.3f s, OpenSSH sftp %.3f s, time ratio %.2f\n", dravikUp, openSSHUp,
                dravikUp / openSSHUp);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!SSHServer::canCreateAccounts()) {
        std::fprintf(stderr, "sftp_latency_measure needs root to create the login account of its sshd\n");
        return 0;
    }
    try {
        SSHServer server;
        TemporaryFolder scratch;
        const QByteArray bytes = ftptest::randomBytes(transferSize);
        server.put(u"down.bin"_s, bytes);
        scratch.write(u"up.bin"_s, bytes);
        for (const auto roundTrip : {0ms, 10ms, 50ms})
            measure(server, scratch, roundTrip);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sftp_latency_measure: %s\n", failure.what());
        return 1;
    }
    return 0;
}
