// dravik-demo [--data FOLDER] [--keyring-on-this-bus] [PROGRAM [ARGUMENT...]]
//
// A session to try the program in: a throwaway FTPS server on loopback with a few sample files,
// its certificate authority trusted for the session, and a saved "Demo server" profile whose
// password sits in a private keyring. Profiles, queue and preferences live in FOLDER (by default
// demo/ in the build folder), so the person's own data is never touched. PROGRAM (by default the
// desktop program) runs until it ends; then the server and the keyring stop. The keyring has a
// session bus of its own unless --keyring-on-this-bus puts it on the caller's, which must then be
// a bus of the caller's own too (a test's desktop session).

#include "DemoContent.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <sys/types.h>

namespace {

volatile sig_atomic_t programID = 0;

// Ctrl+C, a closed terminal or a kill ask the program to quit; the session stays to clean up.
void forwardToProgram(int)
{
    if (programID > 0)
        ::kill(static_cast<pid_t>(programID), SIGTERM);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QString data = QStringLiteral(DRAVIK_BINARY_DIR "/demo");
    PrivateKeyring::Bus keyringBus = PrivateKeyring::Bus::own;
    while (!arguments.isEmpty() && arguments.first().startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeFirst();
        if (option == QLatin1String("--data") && !arguments.isEmpty())
            data = QDir(arguments.takeFirst()).absolutePath();
        else if (option == QLatin1String("--keyring-on-this-bus"))
            keyringBus = PrivateKeyring::Bus::current;
        else {
            std::fprintf(stderr, "dravik-demo: unknown option %s\n", qPrintable(option));
            return 2;
        }
    }
    const QString program =
        arguments.isEmpty() ? QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik") : arguments.takeFirst();
    QDir().mkpath(data + QStringLiteral("/config"));
    QDir().mkpath(data + QStringLiteral("/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(data + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data + QStringLiteral("/data")));

    try {
        const PrivateKeyring keyring(PrivateKeyring::Secrets::unlocked, keyringBus);
        const ProFTPDServer server;
        DemoContent::putSamples(server);
        const ServerProfile demo = DemoContent::saveProfile(server);
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
