#include "SFTPPacket.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>

// A HANDLE reply body (type octet first).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SFTPPacket::Reader reply{QByteArrayView(data, qsizetype(size))};
    try {
        [[maybe_unused]] const QByteArray handle = SFTPPacket::handleReply(reply).toByteArray();
    } catch (const UserFacingError&) {
    }
    return 0;
}
