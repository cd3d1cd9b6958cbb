#include "RemoteEditStore.h"
#include "UserFacingError.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// An edits file from disk decodes, re-encodes and decodes to the same list, or fails cleanly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QList<RemoteEdit> edits = RemoteEditStore::decode(bytes);
        if (RemoteEditStore::decode(RemoteEditStore::encode(edits)) != edits)
            __builtin_trap();
    } catch (const UserFacingError&) {
    }
    return 0;
}
