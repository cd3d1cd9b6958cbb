#include "ServerProfile.h"
#include "UserFacingError.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// A profile file from disk decodes, re-encodes and decodes to the same profile, or fails cleanly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const ServerProfile profile = ServerProfile::fromJson(bytes);
        if (!(ServerProfile::fromJson(profile.toJson()) == profile))
            __builtin_trap();
    } catch (const UserFacingError&) {
    }
    return 0;
}
