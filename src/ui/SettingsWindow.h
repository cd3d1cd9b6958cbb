#pragma once

#include <QDialog>

class LanguageSettings;
class QComboBox;
class QLabel;

// The settings window: the interface language, switched as soon as it is picked.
class SettingsWindow : public QDialog {
    Q_OBJECT

public:
    explicit SettingsWindow(LanguageSettings& language, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showSelection();
    void retranslate();

    LanguageSettings& m_language;
    QLabel* m_title = nullptr;
    QLabel* m_languageLabel = nullptr;
    QComboBox* m_languages = nullptr;
    QLabel* m_languageHint = nullptr;
    QLabel* m_paneOrder = nullptr;
};
