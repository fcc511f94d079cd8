// The virtual HID bus: a directory where each device is STEM.sock (a
// listening seqpacket socket) plus STEM.info (its description).

#include "hid_backend.h"
#include "hid_fd.h"
#include "vhid/BusFiles.h"
#include "vhid/BusNames.h"
#include "vhid/DeviceInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace orvhid {

namespace {

bool readInfo(const std::string& infoPath, vhid::DeviceInfo* info)
{
    std::string text;
    return vhid::readSmallFile(infoPath, &text) && vhid::DeviceInfo::parse(text, info);
}

} // namespace

hid_device_info* busEnumerate(const std::string& busDir, unsigned short vendorId,
                              unsigned short productId)
{
    DIR* dir = ::opendir(busDir.c_str());
    if (!dir)
        return nullptr;
    std::vector<std::string> stems;
    while (dirent* entry = ::readdir(dir)) {
        const std::string stem = vhid::stemOfInfo(entry->d_name);
        if (!stem.empty())
            stems.push_back(stem);
    }
    ::closedir(dir);
    // readdir's order is arbitrary; a stable order keeps scans reproducible.
    std::sort(stems.begin(), stems.end());

    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const std::string& stem : stems) {
        vhid::DeviceInfo info;
        if (!readInfo(vhid::infoPath(busDir, stem), &info))
            continue; // malformed or already gone
        if ((vendorId != 0 && info.vendorId != vendorId) ||
            (productId != 0 && info.productId != productId))
            continue;
        auto* entry = new hid_device_info{};
        entry->path = newString(vhid::sockPath(busDir, stem));
        entry->vendor_id = info.vendorId;
        entry->product_id = info.productId;
        entry->release_number = info.release;
        entry->serial_number = newWide(info.serial);
        entry->manufacturer_string = newWide(info.manufacturer);
        entry->product_string = newWide(info.product);
        entry->usage_page = info.usagePage;
        entry->usage = info.usage;
        entry->interface_number = info.interfaceNumber;
        *tail = entry;
        tail = &entry->next;
    }
    return head;
}

hid_device* busOpen(const std::string& sockPath)
{
    const std::string infoPath = vhid::infoPathOfSock(sockPath);
    vhid::DeviceInfo info;
    if (infoPath.empty() || !readInfo(infoPath, &info)) {
        setOpenError(ENOENT); // not (or no longer) present on the bus
        return nullptr;
    }

    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sockPath.size() >= sizeof addr.sun_path) {
        setOpenError(ENAMETOOLONG);
        return nullptr;
    }
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        setOpenError(errno);
        return nullptr;
    }
    // A listening Unix socket accepts at once (or refuses at once when its
    // backlog is full), so a non-blocking connect never leaves us waiting.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        setOpenError(errno);
        ::close(fd);
        return nullptr;
    }
    return new FdHidDevice(fd, FdHidDevice::Kind::Seqpacket,
                           static_cast<size_t>(info.inputReportLength),
                           static_cast<size_t>(info.outputReportLength), info.product, info.serial);
}

} // namespace orvhid
