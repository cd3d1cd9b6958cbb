#include "EntryReply.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstddef>
#include <cstdint>

// Whatever a server answers on its control connection is read without a crash, an entry comes
// only with a positive answer, and an announced transfer among the answers is seen.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView replies(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto answer = EntryReply::find(replies);
    if (answer && answer->entry && answer->code / 100 != 2)
        __builtin_trap();
    const QList<EntryReply::Answer> answers = EntryReply::answers(replies);
    const bool announcing = std::any_of(answers.begin(), answers.end(),
                                        [](const EntryReply::Answer& each) { return each.code / 100 == 1; });
    if (announcing && !EntryReply::transferAnnounced(replies))
        __builtin_trap();
    return 0;
}
