#pragma once

#include <QList>
#include <QString>

// One of the interface languages the user can pick, independently of the system's language.
struct AppLanguage {
    QString id;
    QString nativeName;

    bool isRightToLeft() const { return id == QLatin1String("ar"); }
    bool operator==(const AppLanguage&) const = default;

    static const QList<AppLanguage>& supported();
    static bool isSupported(const QString& code);
};
