#include "ConflictBatchPolicy.h"
#include "CancellationError.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

TransferConflict conflict(bool sourceFolder, bool targetFolder, qint64 sourceSize = 10, qint64 targetSize = 4)
{
    return {true, "/here/a", "/there/a", FileEntry{"a", sourceFolder, sourceSize, {}},
            FileEntry{"a", targetFolder, targetSize, {}}};
}

} // namespace

TEST(ConflictBatchPolicyTest, AnAnswerForTheBatchServesLaterConflictsOfItsKindThatAdmitIt)
{
    QList<std::optional<ConflictAnswer>> answers{ConflictAnswer{ConflictAction::resume, true},
                                                 ConflictAnswer{ConflictAction::merge, false},
                                                 ConflictAnswer{ConflictAction::overwrite, true}};
    int asked = 0;
    ConflictBatchPolicy policy([&](const TransferConflict&) {
        ++asked;
        return answers.takeFirst();
    });
    const struct {
        TransferConflict conflict;
        ConflictAction action;
        int askedSoFar;
    } cases[] = {
        {conflict(false, false), ConflictAction::resume, 1},
        {conflict(false, false, 30, 7), ConflictAction::resume, 1},
        {conflict(true, true), ConflictAction::merge, 2},
        // The remembered resume does not fit a target as long as the source.
        {conflict(false, false, 10, 10), ConflictAction::overwrite, 3},
        {conflict(false, false, 10, 10), ConflictAction::overwrite, 3},
    };
    for (const auto& one : cases) {
        EXPECT_EQ(policy.resolve(one.conflict, {}), one.action);
        EXPECT_EQ(asked, one.askedSoFar);
    }
}

TEST(ConflictBatchPolicyTest, ACancelledDialogOrAStoppedTaskCancelsAndRemembersNothing)
{
    std::stop_source stop;
    int asked = 0;
    ConflictBatchPolicy policy([&](const TransferConflict&) -> std::optional<ConflictAnswer> {
        ++asked;
        if (asked == 1)
            return std::nullopt;
        stop.request_stop();
        return ConflictAnswer{ConflictAction::skip, true};
    });
    EXPECT_THROW(policy.resolve(conflict(false, false), {}), CancellationError);
    // The answer arrives after the stop: it is not used, nor remembered.
    EXPECT_THROW(policy.resolve(conflict(false, false), stop.get_token()), CancellationError);
    EXPECT_THROW(policy.resolve(conflict(false, false), stop.get_token()), CancellationError);
    EXPECT_EQ(asked, 2);
}
