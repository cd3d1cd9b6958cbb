// dravik-demo [--data FOLDER] [PROGRAM [ARGUMENT...]]
//
// A session to try the program in: a throwaway FTPS server on loopback with a few sample files,
// its certificate authority trusted for the session, and a saved "Demo server" profile whose
// password sits in a private keyring. Profiles, queue and preferences live in FOLDER (by default
// demo/ in the build folder), so the person's own data is never touched. PROGRAM (by default the
// desktop program) runs until it ends; then the server and the keyring stop.

#include "FTPError.h"
#include "KeychainStore.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <sys/types.h>

namespace {

// Stable, so that queue items of an earlier session still belong to the demo profile.
const QUuid demoProfileID(QStringLiteral("{6d3b2f0e-8c1a-4e5b-9f27-d4a1c0b7e913}"));

volatile sig_atomic_t programID = 0;

// Ctrl+C, a closed terminal or a kill ask the program to quit; the session stays to clean up.
void forwardToProgram(int)
{
    if (programID > 0)
        ::kill(static_cast<pid_t>(programID), SIGTERM);
}

void putSamples(const ProFTPDServer& server)
{
    server.put(QStringLiteral("/Welcome.txt"),
               "Welcome to the Dravik demo server.\n\nEverything here is thrown away when the program ends:\n"
               "upload, rename and delete as you like.\n");
    server.put(QStringLiteral("/Documents/Notes.md"), "# Notes\n\n- Try a download, then an upload.\n");
    server.put(QStringLiteral("/Documents/Budget 2024.csv"), "month,amount\nJanuary,1200\nFebruary,950\n");
    server.put(QStringLiteral("/Projects/website/index.html"), "<!doctype html>\n<title>Demo</title>\n<p>Hello\n");
    server.put(QStringLiteral("/Projects/website/style.css"), "body { font-family: sans-serif; }\n");
    // Served at 256 KB/s, so that a download shows its progress for a while.
    server.put(QStringLiteral("/slow/Large file.bin"), QByteArray(4 * 1024 * 1024, 'x'));
    QDir().mkpath(server.local(QStringLiteral("/Uploads")));
}

void saveDemoProfile(const ProFTPDServer& server)
{
    ServerProfile demo = server.profile(FTPProtocol::explicitTLS);
    demo.id = demoProfileID;
    demo.name = QStringLiteral("Demo server");
    demo.rememberPassword = true;
    KeychainStore::set(ProFTPDServer::password(), demo.id);
    QList<ServerProfile> profiles = ProfileStore::load();
    profiles.removeIf([](const ServerProfile& saved) { return saved.id == demoProfileID; });
    profiles.prepend(demo);
    ProfileStore::save(profiles);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QString data = QStringLiteral(DRAVIK_BINARY_DIR "/demo");
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--data")) {
        data = QDir(arguments.at(1)).absolutePath();
        arguments = arguments.mid(2);
    }
    const QString program =
        arguments.isEmpty() ? QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik") : arguments.takeFirst();
    QDir().mkpath(data + QStringLiteral("/config"));
    QDir().mkpath(data + QStringLiteral("/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(data + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data + QStringLiteral("/data")));

    try {
        const PrivateKeyring keyring;
        const ProFTPDServer server;
        putSamples(server);
        saveDemoProfile(server);
        const ServerProfile demo = server.profile(FTPProtocol::explicitTLS);
        std::fprintf(stderr, "dravik-demo: \"Demo server\" is FTP with TLS on %s:%lld; session data in %s\n",
                     qPrintable(demo.host), demo.port, qPrintable(data));

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.setInputChannelMode(QProcess::ForwardedInputChannel);
        child.start(program, arguments);
        if (!child.waitForStarted()) {
            std::fprintf(stderr, "dravik-demo: cannot start %s\n", qPrintable(program));
            return 127;
        }
        programID = static_cast<sig_atomic_t>(child.processId());
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, forwardToProgram);
        child.waitForFinished(-1);
        programID = 0;
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 128 + SIGTERM;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravik-demo: %s\n", error.what());
        return 1;
    }
}
