#pragma once

#include "Retranslating.h"

#include <QDialog>

class AppModel;
class AppearanceSettings;
class LanguageSettings;
class QButtonGroup;
class QComboBox;
class QLabel;
class QSpinBox;

// The settings window: the interface language, the appearance and how many transfers run at once,
// each switched as soon as it is picked.
class SettingsWindow : public Retranslating<QDialog> {
    Q_OBJECT

public:
    SettingsWindow(LanguageSettings& language, AppearanceSettings& appearance, AppModel& model,
                   QWidget* parent = nullptr);

private:
    QLayout* makeAppearanceChoice();
    QLayout* makeTransferChoice();
    void showSelection();
    void retranslate() override;

    LanguageSettings& m_language;
    AppearanceSettings& m_appearance;
    AppModel& m_model;
    QLabel* m_title = nullptr;
    QLabel* m_languageLabel = nullptr;
    QComboBox* m_languages = nullptr;
    QLabel* m_languageHint = nullptr;
    QLabel* m_paneOrder = nullptr;
    QLabel* m_appearanceLabel = nullptr;
    // One checkable button per mode, the mode as its id.
    QButtonGroup* m_modes = nullptr;
    QLabel* m_themeHint = nullptr;
    QLabel* m_simultaneousLabel = nullptr;
    QSpinBox* m_simultaneous = nullptr;
};
