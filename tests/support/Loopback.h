#pragma once

// The loopback ports the server fixtures listen on.
namespace Loopback {

// A port nobody listens on right now; a server may still lose it to a race, which its fixture
// notices and then retries.
int freePort();
// Whether something accepts connections on `port`; with a non-empty `greeting`, whether it also
// says those first octets within two seconds.
bool answers(int port, const char* greeting = "", const char* host = "127.0.0.1");

} // namespace Loopback
