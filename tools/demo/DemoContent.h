#pragma once

#include "ServerProfile.h"

class ProFTPDServer;

// What a person finds in a demo session: a few files and folders on the server, and the saved
// "Demo server" profile with its password in the keyring.
namespace DemoContent {

void putSamples(const ProFTPDServer& server);
// Saves the profile first in the list, replacing the one of an earlier session.
ServerProfile saveProfile(const ProFTPDServer& server);

} // namespace DemoContent
