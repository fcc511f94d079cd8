#include "BusSocket.h"

#include <cerrno>
#include <sys/socket.h>

namespace vhid {

ssize_t receiveMessage(int fd, void* buffer, size_t size, int flags)
{
    const ssize_t r = ::recv(fd, buffer, size, flags | MSG_DONTWAIT);
    if (r < 0 && errno == ECONNRESET)
        return ::recv(fd, buffer, size, flags | MSG_DONTWAIT);
    return r;
}

} // namespace vhid
