#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

// One run of a program to its end (by default the build tree's dravik-cli), with the given standard
// input.
struct CliTestRun {
    int exitStatus = -1;
    QByteArray output;
    QByteArray error;

    static const QString program;
    static CliTestRun run(const QStringList& arguments, const QByteArray& input = {},
                          const QString& executable = program);
    // As run, and once `ready` holds (checked for up to 30 s) `act` is done to the running program,
    // given its process id.
    static CliTestRun runUntil(const QStringList& arguments, const QByteArray& input,
                               const std::function<bool()>& ready, const std::function<void(pid_t)>& act);
};
