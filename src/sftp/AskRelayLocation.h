#pragma once

#include <QString>

// Where the askpass helper lives: beside the running executable, as the build arranges it, or
// in libexec/dravik of an installation, whichever folder the program was started from.
namespace AskRelayLocation {

QString path();
// For test programs, which live elsewhere than the application's executables. Empty restores
// the default.
void setPath(const QString& path);

} // namespace AskRelayLocation
