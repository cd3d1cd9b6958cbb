#pragma once

#include "TemporaryFolder.h"

#include <QString>

// The build installed as a person installs it (`cmake --install build --prefix DIR`) into a folder
// of the test's own.
class InstalledTree {
public:
    // Fails the test (and leaves the tree empty) when the installation fails.
    InstalledTree();

    // `path` under the prefix, such as "bin/dravik-cli".
    QString file(const QString& path) const { return m_prefix.file(path); }

private:
    TemporaryFolder m_prefix;
};
