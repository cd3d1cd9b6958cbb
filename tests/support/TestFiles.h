#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// What the tests check after each step: bytes and modes on disk, and the sentence a user reads.
namespace ftptest {

// The bytes of a local file, or "(missing)".
QByteArray contentOf(const QString& path);
unsigned permissionsOf(const QString& path);
// Writes `bytes` to `path`, its folders created, and returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);
// Names `path` as the Downloads folder in the test's own desktop configuration.
void useDownloadsFolder(const QString& path);
// Reproducible bytes of every value.
QByteArray randomBytes(qsizetype size);
// Sets the modification time of `path` itself (not of a link's target) to 2023-11-14T22:13:20Z
// and `lateBy` milliseconds.
void setModified(const QString& path, qint64 lateBy = 0);
// The process ids of the running children of `parent` whose command is `name` (any, when empty).
QList<int> childrenOf(qint64 parent, const QByteArray& name = {});
// The command line and environment ("\n" between them) of each running child of this process
// whose command is `name`, such as "curl" or "ssh".
QList<QByteArray> childProcesses(const QByteArray& name);
// The user's sentence of the error `operation` throws; "cancelled", "(file system error)" or
// "(no error)" otherwise.
QString failureText(const std::function<void()>& operation);

} // namespace ftptest
