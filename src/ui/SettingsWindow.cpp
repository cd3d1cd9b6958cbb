#include "SettingsWindow.h"

#include "AppLanguage.h"
#include "DialogPlacement.h"
#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"
#include "LanguageSettings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SettingsWindow::SettingsWindow(LanguageSettings& language, QWidget* parent)
    : Retranslating(parent), m_language(language)
{
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(u"gearshape"_s).pixmap(32));
    m_title = DisplayText::emphasised(new QLabel, 1.3);
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(m_title, 1);

    m_languageLabel = new QLabel;
    m_languages = new QComboBox;
    m_languages->addItem(QString(), u"system"_s);
    for (const AppLanguage& supported : AppLanguage::supported())
        m_languages->addItem(supported.nativeName, supported.id);
    m_languageHint = new QLabel;
    m_paneOrder = new QLabel;
    for (QLabel* hint : {m_languageHint, m_paneOrder})
        hint->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addSpacing(8);
    layout->addWidget(m_languageLabel);
    layout->addWidget(m_languages);
    layout->addWidget(m_languageHint);
    layout->addWidget(m_paneOrder);
    layout->addStretch();
    setFixedWidth(480);

    showSelection();
    connect(m_languages, &QComboBox::activated, this,
            [this](int index) { m_language.setSelection(m_languages->itemData(index).toString()); });
    connect(&m_language, &LanguageSettings::selectionChanged, this, &SettingsWindow::showSelection);
    retranslate();
    DialogPlacement::shared().registerDialog(this);
}

void SettingsWindow::showSelection()
{
    m_languages->setCurrentIndex(m_languages->findData(m_language.selection()));
}

void SettingsWindow::retranslate()
{
    setWindowTitle(L("settings"));
    m_title->setText(L("settings"));
    DisplayText::nameField(m_languageLabel, m_languages, L("language"));
    m_languages->setItemText(0, L("system_language"));
    m_languageHint->setText(L("language_hint"));
    m_paneOrder->setText(L("pane_order"));
}
