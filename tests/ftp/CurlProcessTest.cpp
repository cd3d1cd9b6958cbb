#include "CurlProcess.h"
#include "CancellationError.h"
#include "CurlProgress.h"
#include "FTPError.h"
#include "FakeCurl.h"
#include "L10n.h"
#include "QtPrinters.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

namespace {

QByteArray run(const CurlProcess::Progress& progress = {}, std::stop_token token = {})
{
    return CurlProcess::run({QStringLiteral("--one"), QStringLiteral("two words")}, QStringLiteral("user = \"u:p\"\n"),
                            progress, token);
}

FTPError failure()
{
    try {
        run();
    } catch (const FTPError& error) {
        return error;
    }
    ADD_FAILURE() << "the run did not fail";
    return FTPError::message({});
}

} // namespace

TEST(CurlProcess, ReturnsStandardOutputUpToSixteenMebibytes)
{
    {
        FakeCurl curl(QStringLiteral("head -c 16777216 /dev/zero"));
        EXPECT_EQ(run().size(), 16777216);
    }
    FakeCurl curl(QStringLiteral("head -c 16777217 /dev/zero"));
    const FTPError error = failure();
    EXPECT_EQ(error.kind(), FTPError::Kind::message);
    EXPECT_EQ(error.errorDescription(), L("listing_limit"));
}

TEST(CurlProcess, FailureReportsTheStatusAndTheLastThreeCurlLinesOfTheLastSixtyFourKibibytes)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"printf 'curl: one\\nnoise\\ncurl: two\\ncurl: three\\nmore noise\\ncurl: four\\ncurl: five\\n' >&2", 7,
         "curl: three\ncurl: four\ncurl: five"},
        {"printf 'nothing useful\\n' >&2", 9, ""},
        {"printf '######    50.0%%\\rcurl: (18) transfer closed\\n' >&2", 18, "curl: (18) transfer closed"},
        {":", 47, ""},
        {"echo 'curl: (6) lost in the past' >&2; head -c 70000 /dev/zero | tr '\\0' x >&2; echo >&2;"
         "echo 'curl: (7) recent' >&2",
         7, "curl: (7) recent"},
    };
    for (const auto& [standardError, status, detail] : cases) {
        FakeCurl curl(QStringLiteral("%1; exit %2").arg(QLatin1String(standardError)).arg(status));
        const FTPError error = failure();
        EXPECT_EQ(error.kind(), FTPError::Kind::command);
        EXPECT_EQ(error.exitStatus(), status);
        EXPECT_EQ(error.detail(), QString::fromUtf8(detail)) << standardError;
    }
}

TEST(CurlProgress, ReadsTheLastPercentageWithADecimalPointOfAChunk)
{
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"####      12.5%", 0.125},
        {"###  12.5%\r#######   40.0%", 0.4},
        {"100.0%", 1.0},
        {"7%", std::nullopt},
        {"", std::nullopt},
        {"1234.5%", 1.0},
        {"\xff\xfe 3.25%", 0.0325},
    };
    for (const auto& [chunk, expected] : cases) {
        const std::optional<double> fraction = CurlProgress::fraction(QByteArrayView(chunk));
        ASSERT_EQ(fraction.has_value(), expected.has_value()) << chunk;
        if (expected) {
            EXPECT_DOUBLE_EQ(*fraction, *expected) << chunk;
        }
    }
}

TEST(CurlProcess, AStopPreventsTheLaunchOrTerminatesAChildThatIgnoresItsInput)
{
    {
        FakeCurl curl(QStringLiteral("exit 0"));
        std::stop_source stop;
        stop.request_stop();
        EXPECT_THROW(run({}, stop.get_token()), CancellationError);
        EXPECT_EQ(curl.runs(), 0);
    }
    // The child fails when terminated, as curl does; the run must still end as a cancellation.
    FakeCurl curl(QStringLiteral("exec sleep 600"), false);
    std::stop_source stop;
    std::jthread canceller([&] {
        while (!curl.started())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stop.request_stop();
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(run({}, stop.get_token()), CancellationError);
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(CurlProcess, AProgramThatCannotStartIsASystemError)
{
    CurlProcess::useProgramForTesting(QStringLiteral("/nonexistent/curl"));
    EXPECT_THROW(run(), std::system_error);
    CurlProcess::useProgramForTesting({});
}
