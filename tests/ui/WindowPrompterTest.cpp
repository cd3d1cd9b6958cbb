#include "WindowPrompter.h"
#include "ApplicationChooser.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"
#include "TextPrompt.h"
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

namespace {

// A key as the keyboard delivers it: to whatever has the focus in the dialog.
void press(QWidget* dialog, Qt::Key key)
{
    QApplication::setActiveWindow(dialog);
    QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, key);
    QTest::qWait(0);
}

} // namespace

TEST(WindowPrompter, ReturnConfirmsAndEscapeCancelsEveryDialog)
{
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);
    const QList<DesktopApplication> editors{{"kate.desktop", "Kate", "", true}, {"vim.desktop", "Vim", "", false}};
    const TransferConflict conflict{true, "/home/me/a.txt", "/srv/a.txt", FileEntry{"a.txt", false, 9, {}},
                                    FileEntry{"a.txt", false, 3, {}}};
    std::optional<QString> prompted;
    // Each dialog is opened twice: confirmed with `keys`, then escaped, which answers nothing.
    const struct {
        const char* name;
        std::function<std::function<QString()>()> open; // opens the dialog; what it answered
        QList<Qt::Key> keys;
        QString answer; // "-" for no answer
    } cases[] = {
        {"text prompt",
         [&] {
             prompted.reset();
             TextPrompt::ask(&window, {"new_remote_folder", "folder_name", "create", {}, {}}, "Reports",
                             [&](const QString& text) { prompted = text; });
             return [&] { return prompted.value_or("-"); };
         },
         {Qt::Key_Return},
         "Reports"},
        {"chooser",
         [&] {
             auto chosen =
                 std::make_shared<QFuture<std::optional<QString>>>(prompter.chooseApplication("/tmp/n.txt", editors));
             return [chosen] { return chosen->isFinished() ? chosen->result().value_or("-") : QString("open"); };
         },
         {Qt::Key_Down, Qt::Key_Return},
         "vim.desktop"},
        {"conflict",
         [&] {
             auto chosen = std::make_shared<QFuture<std::optional<ConflictAnswer>>>(prompter.conflict(conflict));
             return [chosen] {
                 if (!chosen->isFinished())
                     return QString("open");
                 const std::optional<ConflictAnswer> answer = chosen->result();
                 return answer ? ConflictActions::rawValue(answer->action) + (answer->applyToBatch ? "+batch" : "")
                               : QString("-");
             };
         },
         {Qt::Key_Return},
         "skip"},
    };
    for (const auto& c : cases) {
        for (const auto& [keys, answer] :
             {std::pair(c.keys, c.answer), std::pair(QList{Qt::Key_Escape}, QString("-"))}) {
            const auto answered = c.open();
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr) << c.name;
            for (Qt::Key key : keys)
                press(dialog, key);
            EXPECT_EQ(answered(), answer) << c.name << " " << keys.size();
        }
    }

    // Asked while a dialog is open over the window, the question opens over that dialog: beside
    // it, it would be blocked by it and get no key at all.
    QDialog sheet(&window);
    sheet.open();
    QFuture<std::optional<QString>> over = prompter.chooseApplication("/tmp/n.txt", editors);
    QWidget* chooser = QApplication::activeModalWidget();
    EXPECT_EQ(chooser->parentWidget(), &sheet);
    press(chooser, Qt::Key_Return);
    ASSERT_TRUE(over.isFinished());
    EXPECT_EQ(over.result(), QString("kate.desktop"));
}
