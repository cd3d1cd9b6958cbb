#include "SecretMemory.h"

#include <cstring>
#include <sys/prctl.h>

namespace SecretMemory {

void wipe(QByteArray& bytes)
{
    // Only a buffer this object alone holds may be written; a shared one is somebody else's too.
    if (bytes.isDetached())
        ::explicit_bzero(bytes.data(), size_t(bytes.size()));
    bytes.clear();
}

void wipe(QString& text)
{
    if (text.isDetached())
        ::explicit_bzero(text.data(), size_t(text.size()) * sizeof(QChar));
    text.clear();
}

void protectProcess()
{
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace SecretMemory
