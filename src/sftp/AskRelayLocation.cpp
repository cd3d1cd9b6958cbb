#include "AskRelayLocation.h"

#include <QFileInfo>
#include <mutex>

namespace AskRelayLocation {

namespace {
std::mutex lock;
QString chosen;
} // namespace

QString path()
{
    {
        std::lock_guard guard(lock);
        if (!chosen.isEmpty())
            return chosen;
    }
    const QFileInfo executable(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    return executable.absolutePath() + QStringLiteral("/AskRelay");
}

void setPath(const QString& path)
{
    std::lock_guard guard(lock);
    chosen = path;
}

} // namespace AskRelayLocation
