// hid_wait_any where the wait handles are file descriptors: poll().

#include "hid.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <vector>

int hid_wait_any(const hid_wait_handle* handles, size_t count, int timeout_ms)
{
    if (!handles || count == 0)
        return -1;
    std::vector<pollfd> fds(count);
    for (size_t i = 0; i < count; ++i)
        fds[i] = pollfd{handles[i], POLLIN, 0};

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int wait = timeout_ms;
    for (;;) {
        const int r = ::poll(fds.data(), static_cast<nfds_t>(count), wait);
        if (r > 0)
            break;
        if (r == 0 || errno != EINTR)
            return -1;
        if (timeout_ms >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return -1;
            wait = static_cast<int>(left.count());
        }
    }
    // A hang-up or error counts as ready: collecting it reports the failure.
    for (size_t i = 0; i < count; ++i)
        if (fds[i].revents != 0)
            return static_cast<int>(i);
    return -1;
}
