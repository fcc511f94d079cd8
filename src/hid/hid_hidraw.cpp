#include "hid_hidraw.h"

#include "hid_backend.h"
#include "hid_fd.h"
#include "vhid/BusFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace orvhid {

namespace {

// The live system's, unless a test set its own.
std::string nativeSysfsRoot = "/sys";
int openFile(const char* path, int flags)
{
    return ::open(path, flags);
}
HidrawOpenFunction openNode = openFile;

struct SysfsDevice
{
    std::string devPath;
    unsigned busType = 0;
    unsigned short vendorId = 0;
    unsigned short productId = 0;
    unsigned short release = 0;
    std::string product;
    std::string manufacturer;
    std::string serial;
    int interfaceNumber = -1;
    unsigned short usagePage = 0;
    unsigned short usage = 0;
};

std::string readAttribute(const std::string& path)
{
    std::string text;
    if (!vhid::readSmallFile(path, &text))
        return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string parentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool parseHex(const std::string& text, unsigned long max, unsigned long* out)
{
    if (text.empty() || text.size() > 16 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 16);
    if (v > max)
        return false;
    *out = v;
    return true;
}

// HID_ID=BBBB:VVVVVVVV:PPPPPPPP (bus, vendor, product; hexadecimal).
bool parseHidId(const std::string& value, SysfsDevice* dev)
{
    std::istringstream s(value);
    std::string bus, vendor, product;
    if (!std::getline(s, bus, ':') || !std::getline(s, vendor, ':') || !std::getline(s, product))
        return false;
    unsigned long b = 0, v = 0, p = 0;
    if (!parseHex(bus, 0xffff, &b) || !parseHex(vendor, 0xffff, &v) ||
        !parseHex(product, 0xffff, &p))
        return false;
    dev->busType = static_cast<unsigned>(b);
    dev->vendorId = static_cast<unsigned short>(v);
    dev->productId = static_cast<unsigned short>(p);
    return true;
}

// The first Usage Page and Usage items of the report descriptor name the
// top-level collection.
void parseUsage(const std::string& descriptor, SysfsDevice* dev)
{
    bool havePage = false;
    bool haveUsage = false;
    size_t i = 0;
    while (i < descriptor.size() && !(havePage && haveUsage)) {
        const auto prefix = static_cast<unsigned char>(descriptor[i]);
        if (prefix == 0xfe) { // long item: skip it whole
            if (i + 1 >= descriptor.size())
                break;
            i += 3 + static_cast<unsigned char>(descriptor[i + 1]);
            continue;
        }
        static const size_t sizes[4] = {0, 1, 2, 4};
        const size_t size = sizes[prefix & 3];
        if (i + 1 + size > descriptor.size())
            break;
        unsigned long value = 0;
        for (size_t k = 0; k < size; ++k)
            value |= static_cast<unsigned long>(static_cast<unsigned char>(descriptor[i + 1 + k]))
                     << (8 * k);
        const unsigned tag = prefix & 0xfc;
        if (tag == 0x04 && !havePage) {
            dev->usagePage = static_cast<unsigned short>(value);
            havePage = true;
        } else if (tag == 0x08 && !haveUsage) {
            dev->usage = static_cast<unsigned short>(value);
            haveUsage = true;
        }
        i += 1 + size;
    }
}

bool readSysfsDevice(const std::string& sysfsRoot, const std::string& name, SysfsDevice* dev)
{
    const std::string classDir = sysfsRoot + "/class/hidraw/" + name;
    char resolved[PATH_MAX];
    if (!::realpath((classDir + "/device").c_str(), resolved))
        return false;
    const std::string hidDir = resolved;

    std::string uevent;
    if (!vhid::readSmallFile(hidDir + "/uevent", &uevent))
        return false;
    bool haveId = false;
    std::string hidName, hidUniq;
    std::istringstream lines(uevent);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "HID_ID")
            haveId = parseHidId(value, dev);
        else if (key == "HID_NAME")
            hidName = value;
        else if (key == "HID_UNIQ")
            hidUniq = value;
    }
    if (!haveId)
        return false;

    dev->devPath = "/dev/" + name;
    dev->product = hidName;
    dev->serial = hidUniq;

    // On USB the HID device sits under its interface, which sits under the
    // USB device that holds the strings.
    constexpr unsigned BusUsb = 0x03;
    const std::string interfaceDir = parentOf(hidDir);
    const std::string number = readAttribute(interfaceDir + "/bInterfaceNumber");
    if (dev->busType == BusUsb && !number.empty()) {
        unsigned long n = 0;
        if (parseHex(number, 0xff, &n))
            dev->interfaceNumber = static_cast<int>(n);
        const std::string usbDir = parentOf(interfaceDir);
        const std::string product = readAttribute(usbDir + "/product");
        if (!product.empty())
            dev->product = product;
        const std::string serial = readAttribute(usbDir + "/serial");
        if (!serial.empty())
            dev->serial = serial;
        dev->manufacturer = readAttribute(usbDir + "/manufacturer");
        unsigned long release = 0;
        if (parseHex(readAttribute(usbDir + "/bcdDevice"), 0xffff, &release))
            dev->release = static_cast<unsigned short>(release);
    }

    std::string descriptor;
    if (vhid::readSmallFile(hidDir + "/report_descriptor", &descriptor))
        parseUsage(descriptor, dev);
    return true;
}

std::vector<std::string> hidrawNames(const std::string& sysfsRoot)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir((sysfsRoot + "/class/hidraw").c_str());
    if (!dir)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("hidraw", 0) == 0 && name.size() > 6)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

hid_device_info* hidrawEnumerate(const std::string& sysfsRoot, unsigned short vendorId,
                                 unsigned short productId)
{
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const std::string& name : hidrawNames(sysfsRoot)) {
        SysfsDevice dev;
        if (!readSysfsDevice(sysfsRoot, name, &dev))
            continue;
        if ((vendorId != 0 && dev.vendorId != vendorId) ||
            (productId != 0 && dev.productId != productId))
            continue;
        auto* entry = new hid_device_info{};
        entry->path = newString(dev.devPath);
        entry->vendor_id = dev.vendorId;
        entry->product_id = dev.productId;
        entry->release_number = dev.release;
        entry->serial_number = newWide(dev.serial);
        entry->manufacturer_string = newWide(dev.manufacturer);
        entry->product_string = newWide(dev.product);
        entry->usage_page = dev.usagePage;
        entry->usage = dev.usage;
        entry->interface_number = dev.interfaceNumber;
        *tail = entry;
        tail = &entry->next;
    }
    return head;
}

hid_device* hidrawOpen(const std::string& sysfsRoot, const std::string& devPath)
{
    const std::string prefix = "/dev/";
    if (devPath.rfind(prefix, 0) != 0 || devPath.find('/', prefix.size()) != std::string::npos)
        return nullptr;
    SysfsDevice dev;
    if (!readSysfsDevice(sysfsRoot, devPath.substr(prefix.size()), &dev)) {
        setOpenError(ENOENT);
        return nullptr;
    }
    const int fd = openNode(devPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setOpenError(errno);
        return nullptr;
    }
    // hidraw hands over whole reports; 4096 is the kernel's largest.
    constexpr size_t MaxReport = 4096;
    return new FdHidDevice(fd, FdHidDevice::Kind::Hidraw, MaxReport, 0, dev.product, dev.serial);
}

void setHidrawForTesting(const std::string& root, HidrawOpenFunction open)
{
    nativeSysfsRoot = root;
    openNode = open ? open : openFile;
}

int nativeInit()
{
    return 0; // hidraw is part of the kernel: nothing to load
}

void nativeExit() {}

hid_device_info* nativeEnumerate(unsigned short vendorId, unsigned short productId)
{
    return hidrawEnumerate(nativeSysfsRoot, vendorId, productId);
}

hid_device* nativeOpen(const std::string& path)
{
    return hidrawOpen(nativeSysfsRoot, path);
}

} // namespace orvhid
