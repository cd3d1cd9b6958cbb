#pragma once

#include "Retranslating.h"

#include <QDialog>

class LanguageSettings;
class QComboBox;
class QLabel;

// The settings window: the interface language, switched as soon as it is picked.
class SettingsWindow : public Retranslating<QDialog> {
    Q_OBJECT

public:
    explicit SettingsWindow(LanguageSettings& language, QWidget* parent = nullptr);

private:
    void showSelection();
    void retranslate() override;

    LanguageSettings& m_language;
    QLabel* m_title = nullptr;
    QLabel* m_languageLabel = nullptr;
    QComboBox* m_languages = nullptr;
    QLabel* m_languageHint = nullptr;
    QLabel* m_paneOrder = nullptr;
};
