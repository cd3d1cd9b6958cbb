#pragma once

#include <QString>

// An installed desktop application that can open files, as the chooser lists it.
struct DesktopApplication {
    QString id;               // the desktop id, such as "org.gnome.TextEditor.desktop"
    QString name;             // the localised display name
    QString iconName;         // a themed icon name, empty when it has none
    bool handlesType = false; // declares the MIME type of the file being opened

    bool operator==(const DesktopApplication&) const = default;
};
