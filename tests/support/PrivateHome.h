#pragma once

#include <QTemporaryDir>

// Preferences, data and cache folders of the test process's own, so that no test touches the real
// user's files; the process's XDG variables point into it while the object lives.
class PrivateHome {
public:
    PrivateHome();

private:
    QTemporaryDir folder;
};
