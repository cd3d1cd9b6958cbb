#include "DownloadCheckpoint.h"

#include <QByteArray>
#include <QJsonDocument>
#include <cstddef>
#include <cstdint>

// A checkpoint file from a shared folder decodes to a checkpoint that survives its own encoding,
// or to nothing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto checkpoint =
        DownloadCheckpoint::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (checkpoint && DownloadCheckpoint::fromJson(QJsonDocument(checkpoint->toJson()).toJson()) != checkpoint)
        __builtin_trap();
    return 0;
}
