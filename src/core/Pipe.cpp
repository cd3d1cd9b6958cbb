#include "Pipe.h"

#include "SystemCall.h"

#include <fcntl.h>
#include <unistd.h>
#include <utility>

Pipe::Pipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        SystemCall::fail("pipe");
    m_read = fds[0];
    m_write = fds[1];
}

Pipe::~Pipe()
{
    closeFd(m_read);
    closeFd(m_write);
}

int Pipe::takeRead()
{
    return std::exchange(m_read, -1);
}

int Pipe::takeWrite()
{
    return std::exchange(m_write, -1);
}

void Pipe::closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
