#pragma once

#include "ChildProcess.h"
#include "ServerProfile.h"

#include <QString>
#include <functional>
#include <memory>

// The loopback ports the server fixtures listen on.
namespace Loopback {

// A port nobody listens on right now; a server may still lose it to a race, which its fixture
// notices and then retries.
int freePort();
// Whether something accepts connections on `port`; with a non-empty `greeting`, whether it also
// says those first octets within two seconds.
bool answers(int port, const char* greeting = "", const char* host = "127.0.0.1");
// A profile named `name` for a server at `host`:`port` (a fixture's on loopback), logging in as `user`.
ServerProfile profile(const QString& name, FTPProtocol protocol, int port, const QString& user,
                      const QString& host = QStringLiteral("127.0.0.1"));

} // namespace Loopback

// A fixture's server program, stopped by its own pid when the fixture ends.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `command(port)` until it answers `greeting` on `host` within 20 seconds: up to five
    // times, on a fresh free port each or always on `fixedPort`. False when it never did.
    bool start(const std::function<ChildProcess::Options(int port)>& command, const char* greeting = "",
               const QString& host = QStringLiteral("127.0.0.1"), int fixedPort = 0);
    // Starts a program that chooses its own port and prints it as its first line; throws when it
    // prints none within 20 seconds.
    void startPrintingPort(const ChildProcess::Options& options);
    void stop();

    int port() const { return serverPort; }
    pid_t pid() const { return process ? process->pid() : -1; }

private:
    std::unique_ptr<ChildProcess> process;
    int serverPort = 0;
};
