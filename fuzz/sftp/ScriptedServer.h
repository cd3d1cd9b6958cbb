#pragma once

#include "SFTPWire.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <sys/mman.h>
#include <unistd.h>

// Runs `session` on a wire whose server side has already sent `bytes` and whose requests go to
// the null device, so that a fuzz input is exactly what a server says.
inline void withScriptedServer(const uint8_t* bytes, size_t size, const std::function<void(SFTPWire&)>& session)
{
    const int stream = ::memfd_create("server", MFD_CLOEXEC);
    const bool written = ::write(stream, bytes, size) == ssize_t(size) && ::lseek(stream, 0, SEEK_SET) == 0;
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (written) {
        SFTPWire wire;
        wire.attach(sink, stream);
        session(wire);
    }
    ::close(sink);
    ::close(stream);
}
