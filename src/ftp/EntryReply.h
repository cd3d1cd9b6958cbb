#pragma once

#include "FileEntry.h"

#include <QByteArrayView>
#include <QList>
#include <optional>

// The server's answers to "MLST path" commands, sent first after the login, read from curl's
// record of the control connection's replies (--dump-header). curl asks PWD right after the login
// and sends its quote commands next, so the answers are the replies that follow the first 257.
// An entry carries the same facts as the folder's MLSD line would.
namespace EntryReply {

struct Answer {
    int code = 0;
    // Present only with a positive answer that names exactly one entry.
    std::optional<FileEntry> entry;
};

// The complete replies after the answer to PWD, in order; the first ones answer the MLSTs. A later
// file of a run that goes on over a connection already logged in has no PWD: with `continued` its
// replies count from the start unless it logged in again.
QList<Answer> answers(QByteArrayView replies, bool continued = false);
// The first of them, once it has arrived whole.
std::optional<Answer> find(QByteArrayView replies, bool continued = false);
// Whether the server has announced a transfer on the data connection (a 1xx reply).
bool transferAnnounced(QByteArrayView replies);
// Whether `code` says the server does not know the command at all.
bool isUnknownCommand(int code);

} // namespace EntryReply
