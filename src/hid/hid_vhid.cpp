#include "hid_vhid.h"

#include "hid_fd.h"
#include "sim/VhidInfo.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace orvhid {

namespace {

const std::string InfoSuffix = ".info";
const std::string SockSuffix = ".sock";

bool endsWith(const std::string& s, const std::string& suffix)
{
    return s.size() > suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool readInfo(const std::string& infoPath, orvsim::VhidInfo* info)
{
    std::string text;
    return orvsim::readSmallFile(infoPath, &text) && orvsim::VhidInfo::parse(text, info);
}

} // namespace

hid_device_info* vhidEnumerate(const std::string& busDir, unsigned short vendorId,
                               unsigned short productId)
{
    DIR* dir = ::opendir(busDir.c_str());
    if (!dir)
        return nullptr;
    std::vector<std::string> stems;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (endsWith(name, InfoSuffix))
            stems.push_back(name.substr(0, name.size() - InfoSuffix.size()));
    }
    ::closedir(dir);
    // readdir's order is arbitrary; a stable order keeps scans reproducible.
    std::sort(stems.begin(), stems.end());

    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const std::string& stem : stems) {
        orvsim::VhidInfo info;
        if (!readInfo(busDir + "/" + stem + InfoSuffix, &info))
            continue; // malformed or already gone
        if ((vendorId != 0 && info.vendorId != vendorId) ||
            (productId != 0 && info.productId != productId))
            continue;
        auto* entry = new hid_device_info{};
        entry->path = newString(busDir + "/" + stem + SockSuffix);
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

hid_device* vhidOpen(const std::string& sockPath)
{
    if (!endsWith(sockPath, SockSuffix))
        return nullptr;
    orvsim::VhidInfo info;
    const std::string stemPath = sockPath.substr(0, sockPath.size() - SockSuffix.size());
    if (!readInfo(stemPath + InfoSuffix, &info))
        return nullptr; // not (or no longer) present on the bus

    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sockPath.size() >= sizeof addr.sun_path)
        return nullptr;
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;
    // A listening Unix socket accepts at once (or refuses at once when its
    // backlog is full), so a non-blocking connect never leaves us waiting.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return new FdHidDevice(fd, FdHidDevice::Kind::Seqpacket,
                           static_cast<size_t>(info.inputReportLength),
                           static_cast<size_t>(info.outputReportLength), info.product, info.serial);
}

} // namespace orvhid
