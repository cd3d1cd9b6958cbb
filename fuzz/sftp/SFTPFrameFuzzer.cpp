#include "LocalFile.h"
#include "SFTPOperations.h"
#include "ScriptedServer.h"
#include "UserFacingError.h"

#include <fcntl.h>
#include <filesystem>

// A server's whole side of a session, after the handshake: the first octet picks the operation,
// the rest is what the server sends. Whatever arrives, the operation ends or fails with the
// user's error; the local side only ever writes to the null device or reads a memory file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    withScriptedServer(data + 1, size - 1, [operation = data[0] % 4](SFTPWire& wire) {
        try {
            switch (operation) {
            case 0: SFTPOperations::list(wire, QStringLiteral("/folder")); break;
            case 1: SFTPOperations::stat(wire, QStringLiteral("/file")); break;
            case 2: {
                LocalFile sink = LocalFile::open(QStringLiteral("/dev/null"), O_WRONLY);
                SFTPOperations::download(wire, QStringLiteral("/file"), sink, std::nullopt, {});
                break;
            }
            default: {
                // Three chunks and a bit, so that several WRITEs wait for their answers at once.
                LocalFile source(::memfd_create("source", MFD_CLOEXEC), QStringLiteral("source"));
                source.write(QByteArray(3 * SFTPOperations::chunkSize + 10, 'x'));
                SFTPOperations::upload(wire, source, QStringLiteral("/file"), true, std::nullopt, {});
            }
            }
        } catch (const UserFacingError&) {
        } catch (const std::filesystem::filesystem_error&) {
        }
    });
    return 0;
}
