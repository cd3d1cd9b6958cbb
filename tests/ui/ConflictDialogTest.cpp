#include "ConflictDialog.h"
#include "DisplayText.h"
#include "L10n.h"
#include "QtPrinters.h"
#include "WindowProbe.h"
#include "WindowPrompter.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TransferConflict conflictOf(bool sourceFolder, std::optional<qint64> sourceSize, bool targetFolder,
                            std::optional<qint64> targetSize)
{
    return {true, "/home/me/report.pdf", "/srv/report.pdf", FileEntry{"report.pdf", sourceFolder, sourceSize, {}},
            FileEntry{"report.pdf", targetFolder, targetSize, {}}};
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

TEST(ConflictDialog, OffersWhatSuitsTheItemsAndEnablesResumeOnlyIntoAShorterFile)
{
    const std::optional<qint64> none;
    const struct {
        TransferConflict conflict;
        const char* offered; // raw values, "+" when enabled
    } cases[] = {
        {conflictOf(false, 100, false, 40), "overwrite+ resume+ rename+ skip+"},
        {conflictOf(false, 100, false, 0), "overwrite+ resume rename+ skip+"},
        {conflictOf(false, 100, false, 100), "overwrite+ resume rename+ skip+"},
        {conflictOf(false, 100, false, none), "overwrite+ resume rename+ skip+"},
        {conflictOf(false, none, false, 40), "overwrite+ resume rename+ skip+"},
        {conflictOf(false, 100, true, none), "rename+ skip+"},
        {conflictOf(true, none, false, 100), "rename+ skip+"},
        {conflictOf(true, none, true, none), "merge+ rename+ skip+"},
    };
    for (const auto& c : cases) {
        ConflictDialog dialog(c.conflict);
        QStringList shown;
        for (QRadioButton* choice : dialog.findChildren<QRadioButton*>())
            shown << choice->objectName() + (choice->isEnabled() ? "+" : "");
        EXPECT_EQ(shown.join(' '), c.offered);
    }
}

TEST(ConflictDialog, ShowsBothItemsAndTheHintOfTheChosenAction)
{
    TransferConflict download = conflictOf(false, 2500, false, 1000);
    download.upload = false;
    download.target.modified = QDateTime(QDate(2024, 3, 5), QTime(15, 7), Qt::UTC);
    ConflictDialog dialog(download);
    const QStringList texts = visibleTexts(dialog);
    // A download's source is the remote item, its target the local one.
    const qsizetype source = texts.indexOf(DisplayText::path("/srv/report.pdf"));
    EXPECT_TRUE(source >= 0 && source < texts.indexOf(DisplayText::path("/home/me/report.pdf")));
    EXPECT_LT(texts.indexOf(L10n::byteCount(2500)), texts.indexOf(L10n::byteCount(1000)));
    EXPECT_EQ(texts.filter("2024").size(), 1);
    EXPECT_FALSE(texts.contains(L("rename_hint")));
    dialog.findChild<QRadioButton*>("rename")->click();
    EXPECT_TRUE(visibleTexts(dialog).contains(L("rename_hint")));
    dialog.findChild<QRadioButton*>("skip")->click();
    EXPECT_FALSE(visibleTexts(dialog).contains(L("rename_hint")));

    EXPECT_TRUE(visibleTexts(ConflictDialog(conflictOf(true, {}, true, {}))).contains(L("folder_item")));
}

// The prompter's default answer and Escape are checked with every dialog in WindowPrompterTest.
TEST(ConflictDialog, AnswersThroughThePrompterWithTheChosenActionAndItsReachOverTheBatch)
{
    QWidget window;
    window.show();
    WindowPrompter prompter(&window);
    QFuture<std::optional<ConflictAnswer>> chosen = prompter.conflict(conflictOf(false, 9, false, 3));
    auto* dialog = window.findChild<ConflictDialog*>();
    dialog->findChild<QRadioButton*>("resume")->click();
    dialog->findChild<QCheckBox*>()->click();
    control(*dialog, L("ok"))->click();
    QTest::qWait(0);
    ASSERT_TRUE(chosen.isFinished() && chosen.result());
    EXPECT_EQ(chosen.result()->action, ConflictAction::resume);
    EXPECT_TRUE(chosen.result()->applyToBatch);
}
