#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// The standard output of one curl run over several files: each file's record of the server's
// replies (--dump-header -) followed by a line curl writes once that file is done (--write-out),
// which starts with a marker unique to the run, so that nothing a server says can pass for it.
namespace BatchOutput {

struct Segment {
    QByteArrayView replies;
    // curl's status for the file and its message; absent while the file is still under way.
    std::optional<int> status;
    QString message;
};

// A fresh marker for a run: letters and digits only.
QByteArray marker();
// The --write-out text that ends each file's record with `marker`.
QString writeOut(const QByteArray& marker);
// The records so far, in order; the last one lacks a status while its file is under way.
QList<Segment> split(QByteArrayView output, QByteArrayView marker);

} // namespace BatchOutput
