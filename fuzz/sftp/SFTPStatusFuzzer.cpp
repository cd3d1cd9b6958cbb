#include "SFTPPacket.h"
#include "SFTPWire.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

// One reply frame to the first request of a connection: its length, type, identifier and
// status code decode or fail with the user's error.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int stream = ::memfd_create("reply", MFD_CLOEXEC);
    if (::write(stream, data, size) != ssize_t(size) || ::lseek(stream, 0, SEEK_SET) != 0) {
        ::close(stream);
        return 0;
    }
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    {
        SFTPWire wire;
        wire.attach(sink, stream);
        try {
            SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::mkdir, "request");
            SFTPPacket::u8(reply);
        } catch (const UserFacingError&) {
        }
    }
    ::close(sink);
    ::close(stream);
    return 0;
}
