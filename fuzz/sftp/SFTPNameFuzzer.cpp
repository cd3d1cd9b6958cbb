#include "SFTPPacket.h"
#include "UserFacingError.h"

#include <cstddef>
#include <cstdint>

// A NAME reply body (type octet first) with its file names, long names and attribute blocks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SFTPPacket::Reader reply{QByteArrayView(data, qsizetype(size))};
    QList<FileEntry> entries;
    try {
        SFTPPacket::nameReply(reply, entries);
    } catch (const UserFacingError&) {
    }
    return 0;
}
