#pragma once

#include "ServerProfile.h"

#include <QStringList>
#include <exception>

// The command a folder of an FTP server is listed with. MLSD gives dates and exact types; a
// server without it is asked for "LIST -a", since some (vsftpd, ProFTPD) leave dot files out of
// a plain LIST, which would make a recursive download miss them and a tree deletion fail on
// them; a server that refuses the option gets a plain LIST. What a server refused is remembered
// for the rest of the process, so that every listing does not spend a failed command and a
// second login on it.
class ListingCommand {
public:
    enum class Kind { mlsd, listAll, list };

    // The first command worth sending to the server of `profile`.
    static Kind first(const ServerProfile& profile);
    // Remembers that the server of `profile` answered `kind` after refusing the ones before it.
    // Keyed by the whole profile: an edited one may lead to another server, and starts over.
    static void remember(const ServerProfile& profile, Kind kind);
    static QStringList words(Kind kind);
    // Whether the server of `profile` is worth asking for one entry with MLST, as a file
    // transfer's check, rather than listing the entry's whole folder. Assumed until it says it
    // does not know the command.
    static bool describesEntries(const ServerProfile& profile);
    static void rememberNoEntries(const ServerProfile& profile);
    // Whether the server of `profile` has described a folder or a file with MLST before: then an
    // answer of 550 for an entry means there is none, without asking about its folder as well.
    static bool entriesConfirmed(const ServerProfile& profile);
    static void rememberEntriesConfirmed(const ServerProfile& profile);
    // Whether `failure` is the server answering the command itself with an error, after the
    // login and the change into the folder succeeded.
    static bool isRefusal(const std::exception_ptr& failure);
};
