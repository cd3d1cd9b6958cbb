#include "ErrorText.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"

#include <filesystem>
#include <gtest/gtest.h>

// FTPError's own sentences, with and without curl's lines, are proven through curl in the FTP tests.
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
