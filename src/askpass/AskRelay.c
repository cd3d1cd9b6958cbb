/* ssh runs this as its askpass program. It ignores the prompt it is given, fetches the secret
 * from the application's socket named by DRAVIK_AUTH_SOCKET and prints it, followed by one
 * newline, for ssh to read. Every failure prints nothing and exits with status 1, which ssh
 * takes as a failed attempt. */
#define _GNU_SOURCE
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

enum {
    secretLimit = 4096,
    /* The longest path the helper accepts, kept at the smallest socket address of the
     * platforms the application runs on. */
    pathLimit = 103,
};

/* One octet more than a secret may have, so that a longer one shows, and room for the newline. */
static char secret[secretLimit + 1];

static int writeAll(const char* data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(STDOUT_FILENO, data, size);
        if (written < 0)
            return -1;
        data += written;
        size -= (size_t)written;
    }
    return 0;
}

int main(void)
{
    /* The secret passes through this process: no core dump, no other process reading it. */
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const char* path = getenv("DRAVIK_AUTH_SOCKET");
    if (path == NULL)
        return 1;
    size_t pathLength = strlen(path);
    if (pathLength > pathLimit)
        return 1;

    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path, pathLength);

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 1;
    if (connect(fd, (const struct sockaddr*)&address, sizeof address) != 0) {
        close(fd);
        return 1;
    }
    struct timeval timeout = {10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    size_t received = 0;
    for (;;) {
        ssize_t got = read(fd, secret + received, sizeof secret - received);
        if (got == 0)
            break;
        received += (size_t)got;
        if (got < 0 || received > secretLimit) {
            close(fd);
            return 1;
        }
    }
    close(fd);
    secret[received] = '\n';
    return writeAll(secret, received + 1) == 0 ? 0 : 1;
}
