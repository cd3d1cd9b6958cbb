#include "CancellationError.h"
#include "ErrorText.h"
#include "FTPError.h"
#include "L10n.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(FTPError, CommandStatusesDescribeWithTheirKeys)
{
    const std::pair<int, QString> cases[] = {
        {6, L("host_not_found")},  {7, L("connect_failed")},      {9, L("inaccessible")},
        {78, L("inaccessible")},   {28, L("timeout")},            {60, L("invalid_certificate")},
        {67, L("auth_failed")},    {47, L("ftp_error", "47")},
    };
    for (const auto& [status, sentence] : cases) {
        EXPECT_EQ(FTPError::command(status, {}).errorDescription(), sentence) << status;
        EXPECT_FALSE(sentence.isEmpty());
    }
    EXPECT_TRUE(L("ftp_error", "47").contains("47"));
    EXPECT_EQ(FTPError::command(28, "curl: (28) Operation timed out").errorDescription(),
              L("timeout") + "\ncurl: (28) Operation timed out");
    EXPECT_EQ(FTPError::message("Already localised").errorDescription(), QStringLiteral("Already localised"));
}

TEST(ErrorText, OneSentenceForEveryKindOfError)
{
    const auto sentenceOf = [](auto error) { return ErrorText::sentence(std::make_exception_ptr(error)); };
    EXPECT_FALSE(sentenceOf(CancellationError()).has_value());
    EXPECT_EQ(sentenceOf(FTPError::command(7, {})), L("connect_failed"));
    const auto fileError = sentenceOf(std::filesystem::filesystem_error(
        "move", "/tmp/x", std::make_error_code(std::errc::no_such_file_or_directory)));
    ASSERT_TRUE(fileError);
    EXPECT_TRUE(fileError->contains("/tmp/x"));
    EXPECT_FALSE(ErrorText::sentence(nullptr).has_value());
}
