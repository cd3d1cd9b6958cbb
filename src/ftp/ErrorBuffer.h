#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The tail of what curl wrote to standard error: enough to find its last diagnostics without
// letting a chatty or hostile child grow this process without bound.
class ErrorBuffer {
public:
    static constexpr qsizetype capacity = 65536;
    static constexpr int reportedLines = 3;

    void append(QByteArrayView chunk);
    const QByteArray& data() const { return bytes; }

    // The last three lines that contain "curl:", in their order, joined by line feeds.
    QString diagnosticLines() const;

private:
    QByteArray bytes;
};
