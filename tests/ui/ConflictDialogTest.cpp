#include "ConflictDialog.h"
#include "L10n.h"
#include "WindowPrompter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

FileEntry entry(bool folder, std::optional<qint64> size)
{
    return FileEntry{QStringLiteral("report.pdf"), folder, size, std::nullopt};
}

TransferConflict conflictOf(FileEntry source, FileEntry target)
{
    return TransferConflict{true, "/home/me/report.pdf", "/srv/report.pdf", source, target};
}

// Every offered action by its raw value, with "+" when it is enabled.
QString offered(const ConflictDialog& dialog)
{
    QStringList shown;
    for (QRadioButton* choice : dialog.findChildren<QRadioButton*>())
        shown << choice->objectName() + (choice->isEnabled() ? "+" : "");
    return shown.join(' ');
}

QStringList visibleTexts(const QWidget& dialog)
{
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->isVisibleTo(&dialog) && !label->text().isEmpty())
            texts << label->text();
    return texts;
}

} // namespace

TEST(ConflictDialog, OffersWhatSuitsTheItemsAndEnablesResumeOnlyForAShorterTarget)
{
    const struct {
        const char* name;
        FileEntry source;
        FileEntry target;
        const char* expected;
    } cases[] = {
        {"file over shorter file", entry(false, 100), entry(false, 40), "overwrite+ resume+ rename+ skip+"},
        {"file over empty file", entry(false, 100), entry(false, 0), "overwrite+ resume rename+ skip+"},
        {"file over longer file", entry(false, 100), entry(false, 100), "overwrite+ resume rename+ skip+"},
        {"target size unknown", entry(false, 100), entry(false, std::nullopt), "overwrite+ resume rename+ skip+"},
        {"source size unknown", entry(false, std::nullopt), entry(false, 40), "overwrite+ resume rename+ skip+"},
        {"file over folder", entry(false, 100), entry(true, std::nullopt), "rename+ skip+"},
        {"folder over file", entry(true, std::nullopt), entry(false, 100), "rename+ skip+"},
        {"folder over folder", entry(true, std::nullopt), entry(true, std::nullopt), "merge+ rename+ skip+"},
    };
    for (const auto& c : cases) {
        ConflictDialog dialog(conflictOf(c.source, c.target));
        EXPECT_EQ(offered(dialog), c.expected) << c.name;
    }
}

TEST(ConflictDialog, ShowsBothItemsAndTheHintOfTheChosenAction)
{
    TransferConflict download = conflictOf(entry(false, 2500), entry(false, 1000));
    download.upload = false;
    download.target.modified = QDateTime(QDate(2024, 3, 5), QTime(15, 7), Qt::UTC);
    ConflictDialog dialog(download);
    QStringList texts = visibleTexts(dialog);
    // A download's source is the remote item; its target the local one.
    EXPECT_LT(texts.indexOf("/srv/report.pdf"), texts.indexOf("/home/me/report.pdf"));
    EXPECT_TRUE(texts.contains(L10n::byteCount(2500)) && texts.contains(L10n::byteCount(1000)));
    EXPECT_EQ(texts.filter("2024").size(), 1);
    EXPECT_FALSE(texts.contains(L("rename_hint")));

    dialog.findChild<QRadioButton*>("rename")->click();
    EXPECT_TRUE(visibleTexts(dialog).contains(L("rename_hint")));
    dialog.findChild<QRadioButton*>("resume")->click();
    EXPECT_TRUE(visibleTexts(dialog).contains(L("resume_hint")));
    dialog.findChild<QRadioButton*>("skip")->click();
    EXPECT_FALSE(visibleTexts(dialog).contains(L("resume_hint")));

    ConflictDialog folders(conflictOf(entry(true, std::nullopt), entry(true, std::nullopt)));
    EXPECT_TRUE(visibleTexts(folders).contains(L("folder_item")));
}

TEST(ConflictDialog, AnswersThroughThePrompterWithTheChoiceOrNothingWhenCancelled)
{
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);
    const auto open = [&window] { return window.findChild<ConflictDialog*>(); };

    QFuture<std::optional<ConflictAnswer>> untouched = prompter.conflict(conflictOf(entry(false, 9), entry(false, 3)));
    open()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(untouched.isFinished() && untouched.result());
    EXPECT_EQ(untouched.result()->action, ConflictAction::skip);
    EXPECT_FALSE(untouched.result()->applyToBatch);
    QTest::qWait(0);

    QFuture<std::optional<ConflictAnswer>> chosen = prompter.conflict(conflictOf(entry(false, 9), entry(false, 3)));
    open()->findChild<QRadioButton*>("resume")->click();
    open()->findChild<QCheckBox*>()->click();
    QTest::keyClick(open(), Qt::Key_Return);
    ASSERT_TRUE(chosen.isFinished() && chosen.result());
    EXPECT_EQ(chosen.result()->action, ConflictAction::resume);
    EXPECT_TRUE(chosen.result()->applyToBatch);
    QTest::qWait(0);

    QFuture<std::optional<ConflictAnswer>> cancelled = prompter.conflict(conflictOf(entry(true, {}), entry(true, {})));
    QTest::keyClick(open(), Qt::Key_Escape);
    ASSERT_TRUE(cancelled.isFinished());
    EXPECT_FALSE(cancelled.result());
}
