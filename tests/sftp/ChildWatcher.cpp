#include "ChildWatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

QByteArray readProc(pid_t pid, const char* entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList split(const QByteArray& raw)
{
    QStringList pieces;
    for (const QByteArray& piece : raw.split('\0'))
        if (!piece.isEmpty())
            pieces << QString::fromUtf8(piece);
    return pieces;
}

} // namespace

ChildWatcher::ChildWatcher(const QString& program)
    : program(program), watcher([this](std::stop_token token) { watch(token); })
{
}

ChildWatcher::~ChildWatcher()
{
    watcher.request_stop();
    watcher.join();
}

void ChildWatcher::watch(std::stop_token token)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(::getpid());
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    while (!token.stop_requested()) {
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks + QLatin1Char('/') + task + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& text : children.readAll().split(' ')) {
                const pid_t pid = pid_t(text.trimmed().toInt());
                if (pid <= 0)
                    continue;
                std::lock_guard guard(lock);
                if (known.contains(pid))
                    continue;
                const QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
                // Until it has called exec, a fresh child still runs this program.
                if (executable.isEmpty() || executable == self)
                    continue;
                if (executable != program) {
                    known.append(pid);
                    continue;
                }
                // exec shows the new program a moment before its arguments: look again later.
                const QByteArray commandLine = readProc(pid, "cmdline");
                const QByteArray environment = readProc(pid, "environ");
                if (commandLine.isEmpty() || environment.isEmpty())
                    continue;
                known.append(pid);
                found.append({pid, split(commandLine), split(environment), commandLine, environment});
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

QList<ChildWatcher::Seen> ChildWatcher::seen() const
{
    std::lock_guard guard(lock);
    return found;
}
