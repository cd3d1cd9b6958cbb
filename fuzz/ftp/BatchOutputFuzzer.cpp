#include "BatchOutput.h"
#include "EntryReply.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

// Whatever curl and the server write during a run over several files is split without a crash:
// the records cover the output in order, only the last one is under way, and each is read as a
// record of replies, on a fresh login or a continued one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView output(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<BatchOutput::Segment> segments = BatchOutput::split(output, "dravikmark");
    if (segments.isEmpty() || segments.last().status)
        __builtin_trap();
    qsizetype covered = 0;
    for (qsizetype at = 0; at < segments.size(); ++at) {
        const BatchOutput::Segment& segment = segments.at(at);
        if (at + 1 < segments.size() && !segment.status)
            __builtin_trap();
        if (segment.replies.data() < output.data() + covered)
            __builtin_trap();
        covered = segment.replies.data() - output.data() + segment.replies.size();
        EntryReply::answers(segment.replies, at > 0);
    }
    if (covered > output.size())
        __builtin_trap();
    return 0;
}
