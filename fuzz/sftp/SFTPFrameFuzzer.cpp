#include "SFTPOperations.h"
#include "SFTPWire.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>

// A server's whole side of a session, after the handshake: the first octet picks the operation,
// the rest is what the server sends. Whatever arrives, the operation ends or fails with the
// user's error; the local side only ever writes to the null device.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int stream = ::memfd_create("server", MFD_CLOEXEC);
    if (::write(stream, data + 1, size - 1) != ssize_t(size - 1) || ::lseek(stream, 0, SEEK_SET) != 0) {
        ::close(stream);
        return 0;
    }
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    {
        SFTPWire wire;
        wire.attach(sink, stream);
        try {
            switch (data[0] % 3) {
            case 0: SFTPOperations::list(wire, QStringLiteral("/folder")); break;
            case 1: SFTPOperations::stat(wire, QStringLiteral("/file")); break;
            default:
                SFTPOperations::download(wire, QStringLiteral("/file"), QStringLiteral("/dev/null"), std::nullopt, {});
            }
        } catch (const UserFacingError&) {
        } catch (const std::filesystem::filesystem_error&) {
        }
    }
    ::close(sink);
    ::close(stream);
    return 0;
}
