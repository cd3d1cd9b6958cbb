#pragma once

#include <QByteArray>
#include <QStringList>

// One run of dravik-cli from the build tree, with the given standard input.
struct CliTestRun {
    int exitStatus = -1;
    QByteArray output;
    QByteArray error;

    static CliTestRun run(const QStringList& arguments, const QByteArray& input = {});
};
