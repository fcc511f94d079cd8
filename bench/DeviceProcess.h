#pragma once

// Simulated devices for a benchmark, served from a child process on a
// private bus, so that the tool's CPU figures are its own. The child runs
// until the benchmark is done with it.

#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class DeviceProcess
{
public:
    using WaitForEnd = std::function<void()>;

    // Serves on a new bus directory: serve(busDir, waitForEnd) runs in the
    // child and calls waitForEnd while its devices are up; its result is the
    // child's exit code.
    explicit DeviceProcess(
        const std::function<int(const std::string& busDir, const WaitForEnd& waitForEnd)>& serve)
    {
        char dirTemplate[] = "/tmp/orv-bench-XXXXXX";
        int control[2];
        if (!::mkdtemp(dirTemplate) || ::pipe(control) != 0)
            return;
        bus = dirTemplate;
        child = ::fork();
        if (child == 0) {
            ::close(control[1]);
            const int fd = control[0];
            ::_exit(serve(bus, [fd] {
                char byte;
                (void)!::read(fd, &byte, 1); // returns at EOF: the tool is done
            }));
        }
        ::close(control[0]);
        controlFd = control[1];
    }

    ~DeviceProcess()
    {
        if (controlFd >= 0)
            ::close(controlFd);
        if (child > 0) {
            int status = 0;
            ::waitpid(child, &status, 0);
        }
        if (!bus.empty())
            ::rmdir(bus.c_str());
    }

    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    bool started() const { return child > 0; }
    const std::string& busDir() const { return bus; }
    // Points the tool's HID layer at the devices.
    void useAsBackend() const { ::setenv("ORV_HID_BACKEND", ("vhid:" + bus).c_str(), 1); }

private:
    std::string bus;
    pid_t child = -1;
    int controlFd = -1;
};
