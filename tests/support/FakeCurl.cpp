#include "FakeCurl.h"

#include "CurlProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

FakeCurl::FakeCurl(const QString& behaviour, bool readsInput)
{
    const QString script =
        QStringLiteral("#!/bin/sh\n"
                       "cd '%1'\n"
                       // Runs started together each take a number of their own: mkdir is atomic. A
                       // run that outlives its folder gives up counting rather than spin.
                       "run=1\n"
                       "while ! mkdir run-$run 2>/dev/null && [ $run -lt 1000 ]; do run=$((run + 1)); done\n"
                       "for word in \"$@\"; do printf '%s\\n' \"$word\"; done > arguments-$run\n"
                       "%2"
                       "touch started-$run\n"
                       "%3\n")
            .arg(folder.path(), readsInput ? QStringLiteral("cat > input-$run\n") : QString(), behaviour);
    const QString path = folder.write(QStringLiteral("curl"), script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CurlProcess::useProgramForTesting(path);
}

FakeCurl::~FakeCurl()
{
    CurlProcess::useProgramForTesting({});
}

int FakeCurl::runs() const
{
    return int(QDir(folder.path()).entryList({QStringLiteral("arguments-*")}).size());
}

QStringList FakeCurl::arguments(int run) const
{
    QStringList words = QString::fromUtf8(ftptest::contentOf(folder.file(QStringLiteral("arguments-%1").arg(run))))
                            .split(QLatin1Char('\n'));
    words.removeLast();
    return words;
}

QByteArray FakeCurl::input(int run) const
{
    return ftptest::contentOf(folder.file(QStringLiteral("input-%1").arg(run)));
}

bool FakeCurl::started(int run) const
{
    return QFile::exists(folder.file(QStringLiteral("started-%1").arg(run)));
}
