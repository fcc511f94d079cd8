#pragma once

// Reading one message from a bus connection, the same on both ends.

#include <cstddef>
#include <sys/types.h>

namespace vhid {

// recv() of one message, never waiting. A peer that closed with messages of
// ours unread resets the connection, and the kernel reports that once, ahead
// of the messages it sent before closing: those are still read (and the end
// after them), so a last command or report is not lost. Returns as recv().
ssize_t receiveMessage(int fd, void* buffer, size_t size, int flags = 0);

} // namespace vhid
