#pragma once

#include "FileEntry.h"

#include <optional>

// The commands of the window whose availability depends on the model's state. Where the two panes
// differ, each has its own command.
enum class Command {
    localUp,
    remoteUp,
    localRefresh,
    remoteRefresh,
    refreshPanels,
    localNewFolder,
    remoteNewFolder,
    localOpenFolder,
    remoteOpenFolder,
    localGoTo,
    remoteGoTo,
    localRename,
    remoteRename,
    localDelete,
    remoteDelete,
    upload,
    download,
    chooseLocalFolder,
    showInFileManager,
    newConnection,
    connect,
    disconnect,
    compare,
    editRemote,
    permissions,
    checkUpdates,
};

// What the rules look at: a snapshot of the model's state.
struct CommandState {
    struct Pane {
        bool atRoot = false;
        int selected = 0;
        // The selected entry when exactly one is selected.
        std::optional<FileEntry> single;
    };
    bool connected = false;
    // Remote work, planning or a comparison runs.
    bool working = false;
    // Transfers wait or run.
    bool pending = false;
    bool checkingUpdates = false;
    Pane local;
    Pane remote;
};

// The one place that says whether a command is available; the model's guards and every button,
// menu item and shortcut follow it.
namespace CommandRules {
bool allows(Command command, const CommandState& state);
// Every command's availability as bits, in enum order: tells whether any of them changed.
unsigned long long all(const CommandState& state);
} // namespace CommandRules
