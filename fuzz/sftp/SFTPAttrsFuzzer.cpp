#include "SFTPPacket.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>

// An ATTRS reply body (type octet first), decoded into an entry.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SFTPPacket::Reader reply{QByteArrayView(data, qsizetype(size))};
    try {
        SFTPPacket::attrsReply(QStringLiteral("name"), reply);
    } catch (const UserFacingError&) {
    }
    return 0;
}
