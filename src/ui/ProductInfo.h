#pragma once

#include <QString>
#include <optional>

// What the program says about itself, compiled in from the build.
namespace ProductInfo {

QString name();
QString version();
QString buildNumber();
// The freedesktop application id: the desktop entry's name and the application icon's name.
QString applicationID();
// The program's object on the session bus, whose interface is named applicationID().
QString busObjectPath();
// What --help or --version asks for, if either is among the arguments; the program prints it and
// exits without opening a window.
std::optional<QString> commandLineAnswer(int argc, char** argv);

} // namespace ProductInfo
