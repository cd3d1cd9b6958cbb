#include "LanguageSettings.h"
#include "AppModel.h"
#include "AppearanceSettings.h"
#include "ConflictDialog.h"
#include "ConnectionEditor.h"
#include "L10n.h"
#include "SettingsWindow.h"
#include "WindowProbe.h"
#include "WindowPrompter.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

TEST(LanguageSettings, StartsWithTheStoredChoiceWhenSupportedAndEnglishOtherwise)
{
    L10n::setPreferredLanguages([] { return QStringList{"de-AT"}; });
    const struct {
        std::optional<QString> stored;
        QString selection;
        QString code;
    } cases[] = {{std::nullopt, "en", "en"}, {"xx", "en", "en"}, {"system", "system", "de"}, {"ja", "ja", "ja"}};
    for (const auto& c : cases) {
        if (c.stored)
            preferences().setValue(L10n::preferenceKey, *c.stored);
        else
            preferences().remove(L10n::preferenceKey);
        LanguageSettings language;
        EXPECT_EQ(language.selection(), c.selection) << c.stored.value_or("(none)").toStdString();
        EXPECT_EQ(L10n::code(), c.code);
        EXPECT_EQ(QLocale().name().left(2), c.code);
    }
}

TEST(LanguageSettings, ASwitchReRendersEveryOpenWindowAtOnceAndArabicRunsRightToLeft)
{
    preferences().remove(L10n::preferenceKey);
    LanguageSettings language;
    AppearanceSettings appearance;
    WindowPrompter prompter;
    AppModel model(prompter);
    ConnectionEditor editor(std::nullopt, {});
    SettingsWindow settings(language, appearance, model);
    ConflictDialog conflict(
        TransferConflict{true, "/a", "/b", FileEntry{"a", false, 1, {}}, FileEntry{"a", false, 1, {}}});
    for (QWidget* window : QList<QWidget*>{&editor, &settings, &conflict})
        window->show();

    // Picked in the settings window, as a person would.
    QComboBox* languages = settings.findChild<QComboBox*>();
    languages->activated(languages->findData("de"));
    EXPECT_EQ(language.selection(), "de");
    EXPECT_EQ(preferences().value(L10n::preferenceKey).toString(), "de");
    EXPECT_EQ(editor.windowTitle(), L("ftp_connection"));
    EXPECT_EQ(settings.windowTitle(), L("settings"));
    EXPECT_EQ(languages->itemText(0), L("system_language"));
    EXPECT_NE(L("settings"), "Settings");
    QStringList modes;
    for (const QRadioButton* mode : settings.findChildren<QRadioButton*>())
        modes << mode->text();
    EXPECT_EQ(modes, QStringList({L("theme_system"), L("theme_light"), L("theme_dark")}));
    auto* simultaneous = settings.findChild<QSpinBox*>();
    EXPECT_EQ(simultaneous->accessibleName(), L("simultaneous_transfers"));
    EXPECT_EQ(simultaneous->value(), 1);
    simultaneous->setValue(4);
    EXPECT_EQ(model.simultaneousTransfers(), 4);
    EXPECT_EQ(preferences().value("simultaneousTransfers").toInt(), 4);
    model.setSimultaneousTransfers(2);
    EXPECT_EQ(simultaneous->value(), 2);

    language.setSelection("ar");
    EXPECT_EQ(editor.windowTitle(), L("ftp_connection"));
    EXPECT_EQ(languages->currentData().toString(), "ar");
    ConnectionEditor later(std::nullopt, {});
    for (QWidget* window : QList<QWidget*>{&editor, &settings, &conflict, &later})
        EXPECT_TRUE(window->isRightToLeft()) << window->metaObject()->className();

    language.setSelection("en");
    EXPECT_FALSE(editor.isRightToLeft());
    EXPECT_EQ(editor.windowTitle(), "Server connection");

    // Settings and the conflict dialog are as tall as their texts need in each language, the
    // conflict dialog never smaller than 560 by 510.
    for (const char* code : {"de", "ar", "ja", "en"}) {
        language.setSelection(code);
        QTest::qWait(0);
        EXPECT_EQ(settings.height(), settings.heightForWidth(480)) << code;
        EXPECT_EQ(conflict.height(), std::max(510, conflict.heightForWidth(conflict.width()))) << code;
        EXPECT_GE(conflict.width(), 560);
        for (const QWidget* window : {static_cast<QWidget*>(&settings), static_cast<QWidget*>(&conflict)})
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                if (label->isVisible() && label->wordWrap()) {
                    EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                        << code << ' ' << label->text().toStdString();
                }
            }
    }
}
