#include "SFTPPacket.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>

// A DATA reply body (type octet first).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SFTPPacket::Reader reply{QByteArrayView(data, qsizetype(size))};
    try {
        [[maybe_unused]] const QByteArray bytes = SFTPPacket::dataReply(reply).toByteArray();
    } catch (const UserFacingError&) {
    }
    return 0;
}
