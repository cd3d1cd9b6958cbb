#pragma once

#include <QString>
#include <QStringList>

// One question to a person: an alert with already localised texts and its buttons in order, the
// first being the default.
struct PromptAlert {
    enum class Style { informational, warning };

    Style style = Style::warning;
    QString message;
    QString informativeText;
    QStringList buttons;
};
