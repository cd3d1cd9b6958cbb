#include "CommandRules.h"

namespace {

bool opensAsFolder(const std::optional<FileEntry>& entry)
{
    return entry && (entry->isDirectory || entry->isSymbolicLink);
}

// Renaming, deleting and changing permissions would pull files from under a transfer.
bool mayChange(const CommandState& state)
{
    return !state.working && !state.pending;
}

bool allowsLocal(Command command, const CommandState& state)
{
    const CommandState::Pane& pane = state.local;
    switch (command) {
    case Command::localUp: return !pane.atRoot;
    case Command::localOpenFolder: return opensAsFolder(pane.single);
    case Command::localRename: return pane.single && mayChange(state);
    case Command::localDelete: return pane.selected > 0 && mayChange(state);
    case Command::upload: return state.connected && pane.selected > 0 && !state.working;
    case Command::showInFileManager: return pane.single.has_value();
    default: return true;
    }
}

bool allowsRemote(Command command, const CommandState& state)
{
    const CommandState::Pane& pane = state.remote;
    if (!state.connected)
        return false;
    switch (command) {
    case Command::remoteUp: return !pane.atRoot;
    case Command::remoteNewFolder:
    case Command::compare: return !state.working;
    case Command::remoteOpenFolder: return opensAsFolder(pane.single);
    case Command::remoteRename: return pane.single && mayChange(state);
    case Command::remoteDelete:
    case Command::permissions: return pane.selected > 0 && mayChange(state);
    case Command::download: return pane.selected > 0 && !state.working;
    case Command::editRemote: return pane.single && !pane.single->isDirectory && !state.working;
    default: return true;
    }
}

} // namespace

bool CommandRules::allows(Command command, const CommandState& state)
{
    switch (command) {
    case Command::localUp:
    case Command::localRefresh:
    case Command::localNewFolder:
    case Command::localOpenFolder:
    case Command::localGoTo:
    case Command::localRename:
    case Command::localDelete:
    case Command::upload:
    case Command::chooseLocalFolder:
    case Command::showInFileManager: return allowsLocal(command, state);
    case Command::remoteUp:
    case Command::remoteRefresh:
    case Command::remoteNewFolder:
    case Command::remoteOpenFolder:
    case Command::remoteGoTo:
    case Command::remoteRename:
    case Command::remoteDelete:
    case Command::download:
    case Command::compare:
    case Command::editRemote:
    case Command::permissions:
    case Command::disconnect: return allowsRemote(command, state);
    case Command::connect: return !state.connected && !state.working;
    case Command::checkUpdates: return !state.checkingUpdates;
    case Command::refreshPanels:
    case Command::newConnection: return true;
    }
    return false;
}

unsigned long long CommandRules::all(const CommandState& state)
{
    unsigned long long bits = 0;
    for (int command = 0; command <= static_cast<int>(Command::checkUpdates); ++command)
        if (allows(static_cast<Command>(command), state))
            bits |= 1ULL << command;
    return bits;
}
