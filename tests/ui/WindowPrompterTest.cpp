#include "WindowPrompter.h"
#include "ApplicationChooser.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"
#include "WindowProbe.h"

#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

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
    control(*box(), "Quit")->click();
    EXPECT_EQ(chosen.isFinished() ? chosen.result() : -2, 1);
    QTest::qWait(0);

    // Escape must not press the button that looks like cancelling, which here is "Quit".
    QFuture<int> escaped = prompter.alert(quit);
    QTest::keyClick(box(), Qt::Key_Escape);
    EXPECT_EQ(escaped.isFinished() ? escaped.result() : -2, -1);
    QTest::qWait(0);

    // The model withdraws a question it no longer needs answered.
    QFuture<int> withdrawn = prompter.alert(quit);
    withdrawn.cancel();
    QTest::qWait(0);
    EXPECT_FALSE(box() && box()->isVisible());

    QFuture<int> orphaned = prompter.alert(quit);
    window.reset();
    EXPECT_EQ(orphaned.isFinished() ? orphaned.result() : -2, -1);
}

TEST(WindowPrompter, TheChoosersAnswerTheChosenFolderAndApplication)
{
    TemporaryFolder folder;
    QDir(folder.path()).mkdir("photos");
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);

    QFuture<std::optional<QString>> directory = prompter.chooseFolder(folder.path());
    QFileDialog* files = window.findChild<QFileDialog*>();
    EXPECT_EQ(files->fileMode(), QFileDialog::Directory);
    files->selectFile(folder.file("photos"));
    QMetaObject::invokeMethod(files, "accept");
    ASSERT_TRUE(directory.isFinished());
    EXPECT_EQ(directory.result(), folder.file("photos"));

    // Those that declare the file's type first, each group by name.
    QFuture<std::optional<QString>> application =
        prompter.chooseApplication("/tmp/notes.txt", {{"vim.desktop", "Vim", "", false},
                                                      {"org.gnome.TextEditor.desktop", "Text Editor", "", true},
                                                      {"emacs.desktop", "Emacs", "", false},
                                                      {"kate.desktop", "Kate", "", true}});
    auto* list = window.findChild<ApplicationChooser*>()->findChild<QListWidget*>();
    QStringList shown;
    for (int row = 0; row < list->count(); ++row)
        shown << list->item(row)->text();
    EXPECT_EQ(shown, QStringList({"Kate", "Text Editor", "Emacs", "Vim"}));
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(application.isFinished());
    EXPECT_EQ(application.result(), QString("emacs.desktop"));
}
