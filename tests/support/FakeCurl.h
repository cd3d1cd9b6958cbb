#pragma once

#include "TemporaryFolder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A shell script in place of curl, for what a real server will not do on demand. Each run records
// its arguments and standard input, then runs `behaviour` (sh code; $run is the run's number from
// 1, "$@" curl's arguments). The script is installed for the lifetime of the object.
class FakeCurl {
public:
    // With `readsInput` false the script leaves its standard input alone.
    explicit FakeCurl(const QString& behaviour, bool readsInput = true);
    ~FakeCurl();
    FakeCurl(const FakeCurl&) = delete;
    FakeCurl& operator=(const FakeCurl&) = delete;

    int runs() const;
    QStringList arguments(int run = 1) const;
    QByteArray input(int run = 1) const;
    // Whether a run has reached `behaviour`.
    bool started(int run = 1) const;

private:
    TemporaryFolder folder;
};
