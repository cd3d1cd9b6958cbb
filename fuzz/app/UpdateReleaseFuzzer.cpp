#include "UpdateRelease.h"
#include "UserFacingError.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// A feed from the network either fails cleanly or gives a release inside every limit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const UpdateRelease release =
            UpdateRelease::decode(bytes, QUrl(QStringLiteral("https://updates.dravik.app/updates.json")));
        if (release.bytes < 1 || release.bytes > UpdateRelease::maximumPackageBytes || release.build < 1 ||
            release.sha256.size() != 64 || release.url.scheme() != QLatin1String("https") ||
            release.url.host() != QLatin1String("updates.dravik.app") || release.url.port(443) != 443 ||
            !release.url.userInfo().isEmpty() || !release.url.path().endsWith(release.packageName()))
            __builtin_trap();
    } catch (const UserFacingError&) {
    }
    return 0;
}
