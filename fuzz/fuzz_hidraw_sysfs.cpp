// hidraw enumeration over a fake sysfs tree whose attribute files are the
// fuzzer's: the HID device's uevent and report descriptor, the interface
// number, and the USB device's strings and release. Each field is a length
// byte and that many bytes; a length of 0xff leaves its file out.

#include "FuzzInput.h"
#include "hid/hid.h"
#include "hid/hid_hidraw.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string root;
std::string usbDir; // the USB device: product, serial, manufacturer, bcdDevice
std::string interfaceDir;
std::string hidDir;

const char* const Files[] = {"uevent", "report_descriptor", "bInterfaceNumber", "product",
                             "serial", "manufacturer",      "bcdDevice"};

std::string fileOf(size_t field)
{
    const std::string& dir = field < 2 ? hidDir : field == 2 ? interfaceDir : usbDir;
    return dir + "/" + Files[field];
}

void makeDirs(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos)
            break;
    }
}

void cleanUp()
{
    for (size_t i = 0; i < sizeof Files / sizeof *Files; ++i)
        std::remove(fileOf(i).c_str());
    const std::string link = root + "/class/hidraw/hidraw0/device";
    std::remove(link.c_str());
    // Deepest first.
    for (const std::string& dir :
         {hidDir + "/hidraw/hidraw0", hidDir + "/hidraw", hidDir, interfaceDir, usbDir,
          root + "/devices/usb1", root + "/devices", root + "/class/hidraw/hidraw0",
          root + "/class/hidraw", root + "/class", root})
        ::rmdir(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char dir[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(dir))
        std::abort();
    root = dir;
    usbDir = root + "/devices/usb1/1-1";
    interfaceDir = usbDir + "/1-1:1.0";
    hidDir = interfaceDir + "/0003:0483:A355.0001";
    makeDirs(hidDir + "/hidraw/hidraw0");
    makeDirs(root + "/class/hidraw/hidraw0");
    if (::symlink(hidDir.c_str(), (root + "/class/hidraw/hidraw0/device").c_str()) != 0)
        std::abort();
    std::atexit(cleanUp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    for (size_t i = 0; i < sizeof Files / sizeof *Files; ++i) {
        const std::string path = fileOf(i);
        std::remove(path.c_str());
        const uint8_t length = in.byte();
        if (length == 0xff || (in.empty() && length == 0))
            continue;
        const std::vector<uint8_t> field = in.bytes(length);
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(field.data(), 1, field.size(), file) != field.size() ||
            std::fclose(file) != 0)
            std::abort();
    }

    hid_device_info* list = orvhid::hidrawEnumerate(root, 0, 0);
    for (hid_device_info* e = list; e; e = e->next) {
        if (e != list || std::string(e->path) != "/dev/hidraw0")
            std::abort(); // one node, one entry
        // The strings are whole C strings.
        for (const wchar_t* s : {e->product_string, e->serial_number, e->manufacturer_string})
            if (!s || std::wcslen(s) > size)
                std::abort();
    }
    hid_free_enumeration(list);
    return 0;
}
