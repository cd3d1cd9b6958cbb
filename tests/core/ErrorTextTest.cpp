#include "ErrorText.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(ErrorText, OneSentenceForEveryKindOfError)
{
    const auto sentenceOf = [](auto error) { return ErrorText::sentence(std::make_exception_ptr(error)); };
    EXPECT_FALSE(sentenceOf(CancellationError()).has_value());
    EXPECT_EQ(sentenceOf(FTPError::command(7, {})), L("connect_failed"));
    // curl's lines follow on the same line; a server's 550 to a transfer is named for what it is.
    const std::pair<FTPError, QString> commands[] = {
        {FTPError::command(28, "curl: (28) slow\ncurl: (28) gave up"),
         L("timeout") + " curl: (28) slow; curl: (28) gave up"},
        {FTPError::command(13, "curl: (13) Bad PASV/EPSV response: 550"), L("permission_denied")},
        {FTPError::command(25, "curl: (25) Failed FTP upload: 550"), L("permission_denied")},
        {FTPError::command(25, "curl: (25) Failed FTP upload: 5501"),
         L("ftp_error", "25") + " curl: (25) Failed FTP upload: 5501"},
        {FTPError::command(78, "curl: (78) RETR response: 550"), L("inaccessible") + " curl: (78) RETR response: 550"},
    };
    for (const auto& [error, sentence] : commands)
        EXPECT_EQ(sentenceOf(error), sentence);
    const auto fileError = sentenceOf(std::filesystem::filesystem_error(
        "move", "/tmp/x", std::make_error_code(std::errc::no_such_file_or_directory)));
    ASSERT_TRUE(fileError);
    EXPECT_TRUE(fileError->contains("/tmp/x"));
    EXPECT_FALSE(ErrorText::sentence(nullptr).has_value());
}
