#include "AskRelayLocation.h"

#include <QFileInfo>
#include <mutex>

using namespace Qt::StringLiterals;

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
    // The build writes every program to one folder; an installation keeps the helper in
    // libexec/dravik, beside the programs or one level up from bin.
    const QString folder = QFileInfo(QFileInfo(u"/proc/self/exe"_s).symLinkTarget()).absolutePath();
    for (const QString& candidate : QStringList{folder + u"/AskRelay"_s, folder + u"/../libexec/dravik/AskRelay"_s})
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    return folder + u"/AskRelay"_s;
}

void setPath(const QString& path)
{
    std::lock_guard guard(lock);
    chosen = path;
}

} // namespace AskRelayLocation
