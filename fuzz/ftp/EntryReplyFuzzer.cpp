#include "EntryReply.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

// Whatever a server answers on its control connection is read without a crash, and an entry comes
// only with a positive answer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto answer = EntryReply::find(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (answer && answer->entry && answer->code / 100 != 2)
        __builtin_trap();
    return 0;
}
