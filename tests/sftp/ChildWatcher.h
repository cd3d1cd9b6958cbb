#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <mutex>
#include <sys/types.h>
#include <thread>

// Watches this process's children while it lives and records, for each child that ran a given
// program, its argument list and environment as /proc showed them.
class ChildWatcher {
public:
    struct Seen {
        pid_t pid;
        QStringList arguments;
        QStringList environment;
        QByteArray rawCommandLine;
        QByteArray rawEnvironment;
    };

    explicit ChildWatcher(const QString& program);
    ~ChildWatcher();

    QList<Seen> seen() const;

private:
    void watch(std::stop_token token);

    QString program;
    mutable std::mutex lock;
    QList<Seen> found;
    QList<pid_t> known;
    std::jthread watcher;
};
