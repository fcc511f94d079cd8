#include "VhidEndpoint.h"

#include "vhid/BusFiles.h"
#include "vhid/BusNames.h"
#include "vhid/BusSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvsim {

VhidEndpoint::VhidEndpoint(std::string busDir, std::string stem, vhid::DeviceInfo info)
    : sockPath_(vhid::sockPath(busDir, stem)), infoPath_(vhid::infoPath(busDir, stem)),
      info_(std::move(info))
{}

VhidEndpoint::~VhidEndpoint()
{
    unplug();
}

void VhidEndpoint::setReceiver(Receiver r)
{
    receiver = std::move(r);
}

bool VhidEndpoint::plug()
{
    if (plugged)
        return true;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sockPath_.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, sockPath_.c_str(), sockPath_.size() + 1);

    listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd < 0)
        return false;
    ::unlink(sockPath_.c_str()); // a stale socket of an earlier run
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd, 16) != 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(listenFd);
        listenFd = -1;
        ::unlink(sockPath_.c_str());
        return false;
    }
    plugged = true;
    thread = std::thread([this] { serve(); });
    // Announced last: whoever sees the .info can connect.
    if (!vhid::writeFileAtomically(infoPath_, info_.format())) {
        unplug();
        return false;
    }
    return true;
}

void VhidEndpoint::unplug()
{
    if (!plugged)
        return;
    ::unlink(infoPath_.c_str());
    plugged = false;
    const char wake = 1;
    (void)!::write(wakePipe[1], &wake, 1);
    if (thread.joinable())
        thread.join();
    closeConnections();
    ::close(listenFd);
    listenFd = -1;
    ::close(wakePipe[0]);
    ::close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
    ::unlink(sockPath_.c_str());
}

void VhidEndpoint::closeConnections()
{
    std::lock_guard<std::mutex> guard(connectionsMutex);
    for (int fd : connections)
        ::close(fd);
    connections.clear();
}

int VhidEndpoint::send(const uint8_t* data, size_t length)
{
    std::lock_guard<std::mutex> guard(connectionsMutex);
    int reached = 0;
    for (int fd : connections)
        if (::send(fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
            ++reached;
    return reached;
}

void VhidEndpoint::setReading(bool on)
{
    reading = on;
    const char wake = 1;
    if (plugged)
        (void)!::write(wakePipe[1], &wake, 1);
}

int VhidEndpoint::connectionCount() const
{
    std::lock_guard<std::mutex> guard(connectionsMutex);
    return static_cast<int>(connections.size());
}

void VhidEndpoint::serve()
{
    std::vector<uint8_t> buffer(vhid::MaxReportLength);
    while (plugged) {
        std::vector<pollfd> fds;
        fds.push_back({wakePipe[0], POLLIN, 0});
        fds.push_back({listenFd, POLLIN, 0});
        if (reading) {
            std::lock_guard<std::mutex> guard(connectionsMutex);
            for (int fd : connections)
                fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents) {
            // Woken by unplug, or to start or stop reading.
            char drained[16];
            while (::read(wakePipe[0], drained, sizeof drained) > 0) {
            }
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                std::lock_guard<std::mutex> guard(connectionsMutex);
                connections.push_back(fd);
            }
        }
        std::vector<int> closed;
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t r = vhid::receiveMessage(fds[i].fd, buffer.data(), buffer.size());
            if (r > 0) {
                if (receiver)
                    receiver(std::vector<uint8_t>(buffer.begin(), buffer.begin() + r));
            } else if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                // 0 with a hang-up is a closed connection; an empty message
                // without one carries no report and is ignored.
                if (r < 0 || (fds[i].revents & (POLLHUP | POLLERR)))
                    closed.push_back(fds[i].fd);
            }
        }
        if (!closed.empty()) {
            std::lock_guard<std::mutex> guard(connectionsMutex);
            for (int fd : closed) {
                connections.erase(std::remove(connections.begin(), connections.end(), fd),
                                  connections.end());
                ::close(fd);
            }
        }
    }
}

} // namespace orvsim
