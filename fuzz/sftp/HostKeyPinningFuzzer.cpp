#include "HostKeyPinning.h"

#include <cstddef>
#include <cstdint>

// Whatever ssh-keyscan relays from a server, the selection of pinned key lines never fails.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray scan(reinterpret_cast<const char*>(data), qsizetype(size));
    HostKeyPinning::acceptedLines(scan, QStringLiteral("SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU"));
    return 0;
}
