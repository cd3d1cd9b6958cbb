#pragma once

#include <QString>

// What the program says about itself, compiled in from the build.
namespace ProductInfo {

QString name();
QString version();
QString buildNumber();
// The freedesktop application id: the desktop entry's name and the application icon's name.
QString applicationID();

} // namespace ProductInfo
