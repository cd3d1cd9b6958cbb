#include "RemotePath.h"
#include "ServerLink.h"
#include "UserFacingError.h"

#include <QString>
#include <cstddef>
#include <cstdint>

// A link from the command line is refused with a sentence, or read into a server and a path that
// make a profile the connection editor can save as it stands.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const ServerLink link = ServerLink::parse(text);
        ServerProfile profile = link.newProfile();
        if (profile.username.isEmpty())
            profile.username = QStringLiteral("someone");
        if (profile.protocolType == FTPProtocol::sftp)
            profile.sshFingerprint = QStringLiteral("SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU");
        profile.validate();
        if (!RemotePath::isUsable(link.path) || link.path.contains(QStringLiteral("//")) ||
            link.match({profile}) != profile)
            __builtin_trap();
    } catch (const UserFacingError&) {
    }
    return 0;
}
