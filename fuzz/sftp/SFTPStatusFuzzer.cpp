#include "SFTPPacket.h"
#include "ScriptedServer.h"
#include "UserFacingError.h"

// One reply frame to the first request of a connection: its length, type, identifier and
// status code decode or fail with the user's error.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    withScriptedServer(data, size, [](SFTPWire& wire) {
        try {
            SFTPPacket::Reader reply = wire.request(SFTPPacket::Type::mkdir, "request");
            SFTPPacket::u8(reply);
        } catch (const UserFacingError&) {
        }
    });
    return 0;
}
