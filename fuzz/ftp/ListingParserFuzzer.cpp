#include "ListingParser.h"
#include "UserFacingError.h"

#include <QString>
#include <cstddef>
#include <cstdint>

// Any bytes a server sends as a listing either parse or fail with the user's error, nothing else.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        ListingParser::parse(text);
    } catch (const UserFacingError&) {
    }
    return 0;
}
