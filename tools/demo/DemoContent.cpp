#include "DemoContent.h"

#include "KeychainStore.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"

#include <QDir>

namespace {
// Stable, so that queue items of an earlier session still belong to the demo profile.
const QUuid demoProfileID(QStringLiteral("{6d3b2f0e-8c1a-4e5b-9f27-d4a1c0b7e913}"));
} // namespace

namespace DemoContent {

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
    server.put(QStringLiteral("/slow/Large file.bin"), QByteArray(16 * 1024 * 1024, 'x'));
    QDir().mkpath(server.local(QStringLiteral("/Uploads")));
}

ServerProfile saveProfile(const ProFTPDServer& server)
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
    return demo;
}

} // namespace DemoContent
