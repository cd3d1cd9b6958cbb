#include "SFTPWire.h"

#include "AskRelayLocation.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "HostKeyCache.h"
#include "HostKeyPinning.h"
#include "L10n.h"
#include "LocalFile.h"
#include "PrivateFolder.h"
#include "SFTPFailure.h"
#include "SystemCall.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr qint64 readAhead = 64 * 1024;
constexpr auto watchdogTick = 10s;
constexpr auto idleLimit = 90s;

// A file name as one value of an ssh option: ssh splits unquoted values at blanks and expands
// "%" tokens in file names, so a temporary folder such as "/tmp/my files" or "100%" must be
// quoted and escaped.
QString sshFileName(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""))
        .replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString homeFolder()
{
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return QString::fromLocal8Bit(found->pw_dir);
    return QDir::homePath();
}

} // namespace

SFTPWire::SFTPWire() : lastActivity(EngineClock::current().now()) {}

SFTPWire::~SFTPWire()
{
    close();
}

void SFTPWire::start(const ServerProfile& profile, const QString& password)
{
    profile.validate();
    ServerProfile::validatePassword(password);
    folder = PrivateFolder::create(QDir::tempPath(), QStringLiteral("drvk-"));

    // A key this process has already matched to the pin is handed to ssh without another scan:
    // ssh itself then refuses any other key.
    const std::optional<QStringList> kept = HostKeyCache::find(profile);
    writeKnownHosts(kept ? *kept : pinnedHostKeys(profile));

    const QString askRelay = AskRelayLocation::path();
    const QFileInfo helper(askRelay);
    if (!helper.isFile() || !helper.isExecutable())
        throw FTPError::message(L("connect_failed"));
    auth = std::make_unique<SSHPasswordSocket>(password);

    launch(sshOptions(profile, askRelay));
    attach(process->standardInput(), process->standardOutput());
    startWatchdog();
    try {
        handshake();
    } catch (const FTPError&) {
        if (kept)
            recheckHostKey(profile);
        throw;
    }
    // Logged in: ssh asks no more, so the password need not wait in the socket any longer.
    auth.reset();
}

QByteArray SFTPWire::scanHostKeys(const ServerProfile& profile)
{
    launch({.program = QStringLiteral("/usr/bin/ssh-keyscan"),
            .arguments = {QStringLiteral("-T"), QStringLiteral("10"), QStringLiteral("-p"),
                          QString::number(profile.port), profile.host},
            .environment = std::nullopt,
            .discardStandardError = true});
    // Only this thread replaces the process, so it may be used here without the lock.
    const QByteArray scan = SystemCall::readToEnd(process->standardOutput());
    process->waitForExit();
    touch();
    return scan;
}

QStringList SFTPWire::pinnedHostKeys(const ServerProfile& profile)
{
    const QStringList keys = HostKeyPinning::acceptedLines(scanHostKeys(profile), profile.sshFingerprint);
    if (keys.isEmpty())
        throw FTPError::message(L("ssh_host_mismatch"));
    HostKeyCache::keep(profile, keys);
    return keys;
}

void SFTPWire::recheckHostKey(const ServerProfile& profile)
{
    // ssh says why it gave up only on its standard error, which is not read: a fresh scan tells
    // a changed key from every other reason.
    HostKeyCache::forget(profile);
    pinnedHostKeys(profile);
}

void SFTPWire::writeKnownHosts(const QStringList& lines)
{
    LocalFile::open(*folder + QStringLiteral("/known_hosts"), O_WRONLY | O_CREAT | O_EXCL, 0600)
        .write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

ChildProcess::Options SFTPWire::sshOptions(const ServerProfile& profile, const QString& askRelay) const
{
    const auto option = [](const QString& setting) { return QStringList{QStringLiteral("-o"), setting}; };
    QStringList arguments{QStringLiteral("-F"), QStringLiteral("/dev/null"), QStringLiteral("-T"), QStringLiteral("-a"),
                          QStringLiteral("-x")};
    arguments << option(QStringLiteral("StrictHostKeyChecking=yes"))
              << option(QStringLiteral("UserKnownHostsFile=") + sshFileName(*folder + QStringLiteral("/known_hosts")))
              << option(QStringLiteral("GlobalKnownHostsFile=/dev/null")) << option(QStringLiteral("UpdateHostKeys=no"))
              << option(QStringLiteral("ConnectTimeout=15")) << option(QStringLiteral("ServerAliveInterval=15"))
              << option(QStringLiteral("ServerAliveCountMax=3")) << option(QStringLiteral("NumberOfPasswordPrompts=1"))
              << option(QStringLiteral("KbdInteractiveAuthentication=no"))
              << option(QStringLiteral("IdentityAgent=none")) << option(QStringLiteral("IdentitiesOnly=yes"));
    if (profile.sshKeyPath && !profile.sshKeyPath->isEmpty())
        arguments << option(QStringLiteral("IdentityFile=") + sshFileName(*profile.sshKeyPath))
                  << option(QStringLiteral("PreferredAuthentications=publickey"));
    else
        arguments << option(QStringLiteral("PreferredAuthentications=password"))
                  << option(QStringLiteral("PubkeyAuthentication=no"));
    arguments << QStringLiteral("-p") << QString::number(profile.port) << QStringLiteral("-l") << profile.username
              << QStringLiteral("-s") << profile.host << QStringLiteral("sftp");

    const QStringList environment{
        QStringLiteral("PATH=/usr/bin:/bin"),
        QStringLiteral("HOME=") + homeFolder(),
        QStringLiteral("LC_ALL=C"),
        QStringLiteral("SSH_ASKPASS=") + askRelay,
        QStringLiteral("SSH_ASKPASS_REQUIRE=force"),
        QStringLiteral("DISPLAY=dravik"),
        QStringLiteral("DRAVIK_AUTH_SOCKET=") + auth->path(),
    };
    return {.program = QStringLiteral("/usr/bin/ssh"),
            .arguments = arguments,
            .environment = environment,
            .discardStandardError = true};
}

void SFTPWire::startWatchdog()
{
    watchdog = std::jthread([this](std::stop_token token) {
        const EngineClock& clock = EngineClock::current();
        try {
            for (;;) {
                clock.sleep(watchdogTick, token);
                std::lock_guard guard(lock);
                if (clock.now() - lastActivity > idleLimit && process && process->isRunning())
                    process->terminate();
            }
        } catch (const CancellationError&) {
        }
    });
}

void SFTPWire::handshake()
{
    QByteArray init;
    SFTPPacket::u8(init, SFTPPacket::Type::init);
    SFTPPacket::u32(init, 3);
    send(init);
    SFTPPacket::Reader reply{receive()};
    if (SFTPPacket::u8(reply) != SFTPPacket::Type::version || SFTPPacket::u32(reply) != 3)
        throw FTPError::message(L("operation_failed"));
    extensions = SFTPPacket::extensionNames(reply);
    ready = true;
}

void SFTPWire::close()
{
    if (watchdog.joinable()) {
        watchdog.request_stop();
        watchdog.join();
    }
    std::unique_ptr<ChildProcess> child;
    {
        std::lock_guard guard(lock);
        if (process) {
            try {
                process->closeStandardInput();
            } catch (const std::system_error&) {
            }
            if (process->isRunning())
                process->terminate();
        }
        child = std::move(process);
    }
    input = output = -1;
    // Destroying the handle reaps the child, so no zombie outlives the connection.
    child.reset();
    if (auth)
        auth->close();
    auth.reset();
    if (folder)
        PrivateFolder::remove(*folder);
    folder.reset();
}

void SFTPWire::cancel()
{
    std::lock_guard guard(lock);
    cancelled = true;
    if (process && process->isRunning())
        process->terminate();
}

void SFTPWire::launch(const ChildProcess::Options& options)
{
    std::unique_ptr<ChildProcess> previous;
    {
        std::lock_guard guard(lock);
        if (cancelled)
            throw CancellationError();
        auto child = std::make_unique<ChildProcess>(options);
        previous = std::exchange(process, std::move(child));
    }
}

void SFTPWire::touch()
{
    std::lock_guard guard(lock);
    if (cancelled)
        throw CancellationError();
    lastActivity = EngineClock::current().now();
}

void SFTPWire::attach(int inputEnd, int outputEnd)
{
    input = inputEnd;
    output = outputEnd;
}

void SFTPWire::connectionLost()
{
    touch();
    if (ready)
        throw FTPError::command(56, L("connect_failed"));
    throw FTPError::message(L("connect_failed"));
}

void SFTPWire::send(QByteArrayView packet, QByteArrayView rest)
{
    touch();
    if (input < 0)
        SFTPPacket::malformed();
    const quint32 length = quint32(packet.size() + rest.size());
    const char frame[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    iovec pieces[3] = {{const_cast<char*>(frame), 4},
                       {const_cast<char*>(packet.data()), size_t(packet.size())},
                       {const_cast<char*>(rest.data()), size_t(rest.size())}};
    iovec* next = pieces;
    int count = 3;
    while (count > 0) {
        const ssize_t written = SystemCall::retrying([&] { return ::writev(input, next, count); });
        // ssh gone: the same lost connection that a read would find.
        if (written < 0 && errno == EPIPE)
            connectionLost();
        if (written < 0)
            SystemCall::fail("write");
        size_t left = size_t(written);
        while (count > 0 && left >= next->iov_len) {
            left -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + left;
            next->iov_len -= left;
        }
    }
}

QByteArrayView SFTPWire::read(qint64 count)
{
    if (output < 0)
        SFTPPacket::malformed();
    if (buffered - consumed < count) {
        if (consumed > 0) {
            std::memmove(incoming.data(), incoming.constData() + consumed, size_t(buffered - consumed));
            buffered -= consumed;
            consumed = 0;
        }
        if (incoming.size() < count)
            incoming.resize(std::max(count, readAhead));
        while (buffered < count) {
            touch();
            const ssize_t got = SystemCall::retrying(
                [&] { return ::read(output, incoming.data() + buffered, size_t(incoming.size() - buffered)); });
            if (got < 0)
                SystemCall::fail("read");
            if (got == 0)
                connectionLost();
            buffered += got;
        }
    }
    const QByteArrayView bytes(incoming.constData() + consumed, count);
    consumed += count;
    return bytes;
}

QByteArrayView SFTPWire::receive()
{
    SFTPPacket::Reader frame{read(4)};
    const quint32 length = SFTPPacket::u32(frame);
    if (length == 0 || length > SFTPPacket::frameLimit)
        SFTPPacket::malformed();
    return read(length);
}

SFTPPacket::Reader SFTPWire::request(quint8 type, QByteArrayView payload)
{
    issue(type, payload);
    return reply();
}

quint32 SFTPWire::issue(quint8 type, QByteArrayView payload)
{
    ++sequence;
    header.resize(0);
    SFTPPacket::u8(header, type);
    SFTPPacket::u32(header, sequence);
    send(header, payload);
    return sequence;
}

SFTPPacket::Reader SFTPWire::reply()
{
    const Answer answered = answer();
    if (answered.id != sequence)
        SFTPPacket::malformed();
    checkStatus(answered.reply);
    return answered.reply;
}

SFTPWire::Answer SFTPWire::answer()
{
    const QByteArrayView reply = receive();
    SFTPPacket::Reader reader{reply};
    const quint8 replyType = SFTPPacket::u8(reader);
    const quint32 id = SFTPPacket::u32(reader);
    // The reply is handed on as its type followed by what came after the identifier: the type
    // is moved onto the identifier's last octet, inside the buffer, so nothing is copied.
    const qint64 at = reply.data() - incoming.constData();
    incoming[at + 4] = char(replyType);
    return {id, SFTPPacket::Reader{reply.sliced(4)}};
}

void SFTPWire::checkStatus(SFTPPacket::Reader reply)
{
    if (SFTPPacket::u8(reply) != SFTPPacket::Type::status)
        return;
    const quint32 code = SFTPPacket::statusCode(reply);
    if (code != SFTPPacket::Status::ok)
        throw SFTPFailure(code);
}
