#include "WindowPrompter.h"
#include "ApplicationChooser.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

TEST(WindowPrompter, AnAlertAnswersTheIndexOfItsButtonOrMinusOneWhenDismissed)
{
    auto window = std::make_unique<QWidget>();
    window->show();
    WindowPrompter prompter(window.get());
    const PromptAlert quit{PromptAlert::Style::warning, "Transfers are running", "Quit anyway?", {"Continue", "Quit"}};
    const auto box = [&window] { return window->findChild<QMessageBox*>(); };

    QFuture<int> chosen = prompter.alert(quit);
    EXPECT_EQ(box()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box()->defaultButton()->text(), "Continue");
    buttonNamed(box(), "Quit")->click();
    ASSERT_TRUE(chosen.isFinished());
    EXPECT_EQ(chosen.result(), 1);
    QTest::qWait(0);

    // Escape must not press a button that looks like cancelling: here that would be "Quit".
    QFuture<int> escaped = prompter.alert(quit);
    QTest::keyClick(box(), Qt::Key_Escape);
    ASSERT_TRUE(escaped.isFinished());
    EXPECT_EQ(escaped.result(), -1);
    QTest::qWait(0);

    QFuture<int> orphaned = prompter.alert(quit);
    window.reset();
    ASSERT_TRUE(orphaned.isFinished());
    EXPECT_EQ(orphaned.result(), -1);
}

TEST(WindowPrompter, TheFolderChooserAnswersTheChosenFolder)
{
    TemporaryFolder folder;
    QDir(folder.path()).mkdir("photos");
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);

    QFuture<std::optional<QString>> chosen = prompter.chooseFolder(folder.path());
    QFileDialog* chooser = window.findChild<QFileDialog*>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
    chooser->selectFile(folder.file("photos"));
    QMetaObject::invokeMethod(chooser, "accept");
    ASSERT_TRUE(chosen.isFinished() && chosen.result());
    EXPECT_EQ(*chosen.result(), folder.file("photos"));
    QTest::qWait(0);

    QFuture<std::optional<QString>> cancelled = prompter.chooseFolder(folder.path());
    window.findChild<QFileDialog*>()->reject();
    ASSERT_TRUE(cancelled.isFinished());
    EXPECT_FALSE(cancelled.result());
}

TEST(WindowPrompter, TheApplicationChooserListsThoseForTheTypeFirst)
{
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);
    const QList<DesktopApplication> applications = {
        {"vim.desktop", "Vim", "", false},
        {"org.gnome.TextEditor.desktop", "Text Editor", "", true},
        {"emacs.desktop", "Emacs", "", false},
        {"kate.desktop", "Kate", "", true},
    };

    QFuture<std::optional<QString>> chosen = prompter.chooseApplication("/tmp/notes.txt", applications);
    auto* list = window.findChild<ApplicationChooser*>()->findChild<QListWidget*>();
    QStringList shown;
    for (int row = 0; row < list->count(); ++row)
        shown << list->item(row)->text();
    EXPECT_EQ(shown, QStringList({"Kate", "Text Editor", "Emacs", "Vim"}));
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(chosen.isFinished() && chosen.result());
    EXPECT_EQ(*chosen.result(), "emacs.desktop");
    QTest::qWait(0);

    QFuture<std::optional<QString>> cancelled = prompter.chooseApplication("/tmp/notes.txt", applications);
    QTest::keyClick(window.findChild<ApplicationChooser*>(), Qt::Key_Escape);
    ASSERT_TRUE(cancelled.isFinished());
    EXPECT_FALSE(cancelled.result());
}
