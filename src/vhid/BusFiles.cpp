#include "BusFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vhid {

namespace {

constexpr size_t MaxSmallFileSize = 64 * 1024;

} // namespace

bool readSmallFile(const std::string& path, std::string* out)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come, and the caller is the window's thread.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string content;
    char buf[4096];
    bool ok = true;
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (r == 0)
            break;
        content.append(buf, static_cast<size_t>(r));
        if (content.size() > MaxSmallFileSize) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (ok)
        *out = std::move(content);
    return ok;
}

bool writeFileAtomically(const std::string& path, const std::string& content)
{
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t r = ::write(fd, content.data() + done, content.size() - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(r);
    }
    if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace vhid
