#include "ProfileStore.h"
#include "UserFacingError.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// A profiles file from disk decodes, re-encodes and decodes to the same list, or fails cleanly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QList<ServerProfile> profiles = ProfileStore::decode(bytes);
        if (ProfileStore::decode(ProfileStore::encode(profiles)) != profiles)
            __builtin_trap();
    } catch (const UserFacingError&) {
    }
    return 0;
}
