#include "SFTPOperations.h"
#include "ScriptedServer.h"
#include "UserFacingError.h"

// A server's VERSION reply: the version and the extension pairs after it decode, a torn or
// overlong list included, or the handshake fails with the user's error.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    withScriptedServer(data, size, [](SFTPWire& wire) {
        try {
            wire.handshake();
            static_cast<void>(wire.supports(SFTPOperations::posixRename));
        } catch (const UserFacingError&) {
        }
    });
    return 0;
}
