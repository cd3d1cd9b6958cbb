#pragma once

#include <QObject>
#include <QString>
#include <QTranslator>

// The interface language, switched live: the default locale and the layout direction (right to
// left for Arabic) change for the whole program, then every window re-renders its texts at once
// (see Retranslating).
class LanguageSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString selection READ selection WRITE setSelection NOTIFY selectionChanged)

public:
    // Reads the stored choice: "system" or a supported language stays, anything else (or nothing)
    // is English. Applies it at once.
    explicit LanguageSettings(QObject* parent = nullptr);

    // "system" or the id of a supported language.
    QString selection() const { return m_selection; }
    // Stores the choice and switches every open window to it.
    void setSelection(const QString& selection);

    // The layout direction of the language in use.
    static Qt::LayoutDirection layoutDirection();

Q_SIGNALS:
    void selectionChanged(const QString& selection);

private:
    void apply();

    QString m_selection;
    // Qt's own texts (the file chooser's labels, standard buttons) in the same language.
    QTranslator m_qtTexts;
};
