#pragma once

#include "PrivateSessionBus.h"
#include "TemporaryFolder.h"

#include <QString>
#include <QStringList>

// Desktop applications installed for this test's user only, each a script that writes down the
// file it was given, with a session bus of the test's own (GIO announces every launch there, and
// a file manager is asked there). GIO reads the entries once, at its first call, which must come
// after they are installed.
class TestApplications {
public:
    TestApplications();

    // Installs "dravik-<name>.desktop" with its MIME types ("text/plain;image/png;").
    void install(const QString& name, const QString& types) const;
    // Makes the application the default for each of the types.
    void setDefault(const QString& name, const QStringList& types);
    // What the application was last given once it has been given something (empty after 20 s);
    // the next call waits for the next launch.
    QString recorded(const QString& name) const;
    // Whether the application has been given anything since the last recorded().
    bool launched(const QString& name) const;

    const QString& folder() const { return m_folder.path(); }

private:
    PrivateSessionBus m_bus;
    TemporaryFolder m_folder;
    QString m_defaults;
};
