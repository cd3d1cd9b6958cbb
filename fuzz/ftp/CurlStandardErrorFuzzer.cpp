#include "CurlProgress.h"
#include "ErrorBuffer.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Whatever curl, or a program in its place, writes to standard error: the progress reader yields
// nothing or a fraction within 0...1, and the diagnostics never exceed three lines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ErrorBuffer buffer;
    // Feed the input in uneven chunks, as a pipe would deliver it.
    for (qsizetype offset = 0, chunk = 1; offset < bytes.size(); offset += chunk, chunk = chunk * 3 % 251 + 1) {
        const QByteArrayView piece = bytes.sliced(offset, qMin(chunk, bytes.size() - offset));
        buffer.append(piece);
        if (const auto fraction = CurlProgress::fraction(piece); fraction && !(*fraction >= 0.0 && *fraction <= 1.0))
            std::abort();
    }
    if (buffer.data().size() > ErrorBuffer::capacity || buffer.diagnosticLines().count(QLatin1Char('\n')) > 2)
        std::abort();
    return 0;
}
