#include "CliTestRun.h"
#include "QtPrinters.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray sample(const char* name)
{
    QFile file(QStringLiteral(DRAVIK_SOURCE_DIR "/samples/") + QLatin1String(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

}

// What ProFTPD really sends for one folder, as MLSD and as LIST: the same entries in the same order,
// the dates only where MLSD gives them.
TEST(CliSampleListings, ProFTPDListingsOfOneFolderAgree)
{
    const CliTestRun mlsd = CliTestRun::run({"parse-listing"}, sample("proftpd-mlsd.txt"));
    const CliTestRun list = CliTestRun::run({"parse-listing"}, sample("proftpd-list.txt"));
    ASSERT_EQ(mlsd.exitStatus, 0) << mlsd.error.toStdString();
    ASSERT_EQ(list.exitStatus, 0) << list.error.toStdString();
    EXPECT_EQ(mlsd.output, QByteArray(R"({"isDirectory":true,"modified":"2024-01-31T12:00:00Z","name":"docs"}
{"isDirectory":true,"modified":"2024-01-31T12:00:00Z","name":"My Folder"}
{"isDirectory":false,"modified":"2024-01-31T12:00:00Z","name":"archive.tar.gz","size":123456}
{"isDirectory":false,"modified":"2024-01-31T12:00:00Z","name":"caf├й.txt","size":2}
{"isDirectory":false,"modified":"2026-12-07T00:50:04Z","name":"current","size":15}
{"isDirectory":false,"modified":"2024-01-31T12:00:00Z","name":"report 2024.pdf","size":6}
)"));
    EXPECT_EQ(list.output, QByteArray(R"({"isDirectory":true,"name":"docs","size":4096}
{"isDirectory":true,"name":"My Folder","size":4096}
{"isDirectory":false,"name":"archive.tar.gz","size":123456}
{"isDirectory":false,"name":"caf├й.txt","size":2}
{"isDirectory":false,"name":"current","size":15}
{"isDirectory":false,"name":"report 2024.pdf","size":6}
)"));
}
