#include "AboutBox.h"
#include "AppModel.h"
#include "AppearanceSettings.h"
#include "ApplicationChooser.h"
#include "ComparisonView.h"
#include "ConflictDialog.h"
#include "ConnectionEditor.h"
#include "DravikApp.h"
#include "LanguageSettings.h"
#include "MainWindow.h"
#include "RemoteEditsView.h"
#include "SettingsWindow.h"
#include "WindowPrompter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Controls of the program's own; the parts Qt builds into a field or a table (a clear button, the
// column headings) are named by Qt.
bool isControl(QWidget* widget)
{
    if (qobject_cast<QLineEdit*>(widget->parent()) || qobject_cast<QHeaderView*>(widget))
        return false;
    if (qobject_cast<QAbstractSlider*>(widget))
        return true;
    if (qobject_cast<QLineEdit*>(widget))
        return !qobject_cast<QAbstractSpinBox*>(widget->parent()) && !qobject_cast<QComboBox*>(widget->parent());
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QAbstractItemView*>(widget);
}

// Every visible control of the window has a name and can be reached with Tab.
void expectNamedControls(QWidget& window, const char* name)
{
    window.show();
    int controls = 0;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
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

} // namespace

// A screen reader finds a control by its name, and a person without a mouse reaches it with Tab.
TEST(Accessibility, EveryControlHasItsTextAsItsNameAndTakesKeyboardFocus)
{
    LanguageSettings language;
    AppearanceSettings appearance;
    WindowPrompter prompter;
    AppModel model(prompter);
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
        {"settings", [&] { return new SettingsWindow(language, appearance, model); }},
        {"about", [] { return new AboutBox; }},
    };
    for (const auto& [name, make] : windows) {
        std::unique_ptr<QDialog> window(make());
        expectNamedControls(*window, name);
    }
}

TEST(Accessibility, EveryControlOfTheMainWindowAndItsResultWindowsHasItsName)
{
    DravikApp program;
    expectNamedControls(program.window(), "main window");
    ComparisonView comparison(program.model());
    expectNamedControls(comparison, "comparison");
    RemoteEditsView edits(program.model());
    expectNamedControls(edits, "remote edits");
}
