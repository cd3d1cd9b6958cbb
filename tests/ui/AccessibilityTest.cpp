#include "AboutBox.h"
#include "ApplicationChooser.h"
#include "ConflictDialog.h"
#include "ConnectionEditor.h"
#include "LanguageSettings.h"
#include "SettingsWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool isControl(QWidget* widget)
{
    if (qobject_cast<QLineEdit*>(widget))
        return !qobject_cast<QAbstractSpinBox*>(widget->parent()) && !qobject_cast<QComboBox*>(widget->parent());
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QAbstractItemView*>(widget);
}

} // namespace

// A screen reader finds a control by its name, and a person without a mouse reaches it with Tab.
TEST(Accessibility, EveryControlHasItsTextAsItsNameAndTakesKeyboardFocus)
{
    LanguageSettings language;
    ServerProfile sftp;
    sftp.protocolType = FTPProtocol::sftp;
    const FileEntry file{"a", false, 10, std::nullopt};
    const std::pair<const char*, std::function<QDialog*()>> windows[] = {
        {"editor", [] { return new ConnectionEditor(std::nullopt, {}); }},
        {"SFTP editor", [&] { return new ConnectionEditor(sftp, {}); }},
        {"conflict",
         [&] {
             return new ConflictDialog(TransferConflict{true, "/a", "/a", file, file});
         }},
        {"chooser",
         [] {
             return new ApplicationChooser("/a", {{"vim.desktop", "Vim", "", true}});
         }},
        {"settings", [&] { return new SettingsWindow(language); }},
        {"about", [] { return new AboutBox; }},
    };
    for (const auto& [name, make] : windows) {
        std::unique_ptr<QDialog> window(make());
        window->show();
        int controls = 0;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            if (!widget->isVisible() || !isControl(widget))
                continue;
            ++controls;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            const QString label = accessible ? accessible->text(QAccessible::Name) : QString();
            EXPECT_FALSE(label.trimmed().isEmpty()) << name << ": " << widget->metaObject()->className();
            EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus) << name << ": " << label.toStdString();
        }
        EXPECT_GT(controls, 0) << name;
    }
}
