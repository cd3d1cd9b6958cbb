#include "SettingsWindow.h"

#include "AppLanguage.h"
#include "AppModel.h"
#include "AppearanceSettings.h"
#include "DialogPlacement.h"
#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"
#include "LanguageSettings.h"
#include "TransferRunner.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr AppearanceSettings::Mode modes[] = {AppearanceSettings::Mode::system, AppearanceSettings::Mode::light,
                                              AppearanceSettings::Mode::dark};

} // namespace

SettingsWindow::SettingsWindow(LanguageSettings& language, AppearanceSettings& appearance, AppModel& model,
                               QWidget* parent)
    : Retranslating(parent), m_language(language), m_appearance(appearance), m_model(model)
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
    layout->addSpacing(12);
    layout->addLayout(makeAppearanceChoice());
    layout->addSpacing(12);
    layout->addLayout(makeTransferChoice());
    setFixedWidth(480);

    showSelection();
    connect(m_languages, &QComboBox::activated, this,
            [this](int index) { m_language.setSelection(m_languages->itemData(index).toString()); });
    connect(&m_language, &LanguageSettings::selectionChanged, this, &SettingsWindow::showSelection);
    connect(m_modes, &QButtonGroup::idClicked, this,
            [this](int mode) { m_appearance.setSelection(static_cast<AppearanceSettings::Mode>(mode)); });
    connect(&m_appearance, &AppearanceSettings::selectionChanged, this, &SettingsWindow::showSelection);
    connect(m_simultaneous, &QSpinBox::valueChanged, &m_model, &AppModel::setSimultaneousTransfers);
    connect(&m_model, &AppModel::simultaneousTransfersChanged, this, &SettingsWindow::showSelection);
    retranslate();
    DialogPlacement::shared().registerDialog(this);
}

// The three modes side by side, one of them chosen. Radio buttons rather than pressed buttons: a
// pressed button barely differs from the others in a dark palette.
QLayout* SettingsWindow::makeAppearanceChoice()
{
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(u"circle.lefthalf.filled"_s).pixmap(16));
    m_appearanceLabel = new QLabel;
    auto* title = new QHBoxLayout;
    title->addWidget(icon);
    title->addWidget(m_appearanceLabel, 1);

    m_modes = new QButtonGroup(this);
    auto* segments = new QHBoxLayout;
    for (const AppearanceSettings::Mode mode : modes) {
        auto* segment = new QRadioButton;
        m_modes->addButton(segment, static_cast<int>(mode));
        segments->addWidget(segment);
    }
    segments->addStretch();
    m_themeHint = new QLabel;
    m_themeHint->setWordWrap(true);

    auto* choice = new QVBoxLayout;
    choice->addLayout(title);
    choice->addLayout(segments);
    choice->addWidget(m_themeHint);
    return choice;
}

QLayout* SettingsWindow::makeTransferChoice()
{
    m_simultaneousLabel = new QLabel;
    m_simultaneous = new QSpinBox;
    m_simultaneous->setRange(1, TransferRunner::maximumSimultaneous);
    auto* choice = new QHBoxLayout;
    choice->addWidget(m_simultaneousLabel);
    choice->addWidget(m_simultaneous);
    choice->addStretch();
    return choice;
}

void SettingsWindow::showSelection()
{
    m_languages->setCurrentIndex(m_languages->findData(m_language.selection()));
    m_modes->button(static_cast<int>(m_appearance.selection()))->setChecked(true);
    m_simultaneous->setValue(m_model.simultaneousTransfers());
}

void SettingsWindow::retranslate()
{
    setWindowTitle(L("settings"));
    m_title->setText(L("settings"));
    DisplayText::nameField(m_languageLabel, m_languages, L("language"));
    m_languages->setItemText(0, L("system_language"));
    m_languageHint->setText(L("language_hint"));
    m_paneOrder->setText(L("pane_order"));
    m_appearanceLabel->setText(L("appearance"));
    m_themeHint->setText(L("theme_hint"));
    DisplayText::nameField(m_simultaneousLabel, m_simultaneous, L("simultaneous_transfers"));
    for (const AppearanceSettings::Mode mode : modes) {
        const QString key = u"theme_"_s + AppearanceSettings::rawValue(mode);
        m_modes->button(static_cast<int>(mode))->setText(L(key));
    }
    // As tall as the texts of this language need at the fixed width, and no taller.
    resize(width(), heightForWidth(width()));
}
