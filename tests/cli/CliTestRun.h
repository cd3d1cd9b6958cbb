#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One run of dravik-cli (by default the build tree's), with the given standard input.
struct CliTestRun {
    int exitStatus = -1;
    QByteArray output;
    QByteArray error;

    static const QString program;
    static CliTestRun run(const QStringList& arguments, const QByteArray& input = {},
                          const QString& executable = program);
};
