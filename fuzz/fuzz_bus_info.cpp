// The bus description: a device's STEM.info text, parsed on its own and
// through enumeration of a bus directory. Whatever parses formats into text
// that parses to the same description, and enumeration lists the device
// exactly when its text parses, with the values parsed.

#include "hid/hid.h"
#include "vhid/DeviceInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <unistd.h>

namespace {

std::string busDir;

bool sameWide(const wchar_t* wide, const std::string& utf8)
{
    // Enumeration decodes the UTF-8; only plain ASCII is compared exactly.
    for (unsigned char c : utf8)
        if (c >= 0x80)
            return wide != nullptr;
    return wide && std::wcslen(wide) == utf8.size() &&
           std::equal(utf8.begin(), utf8.end(), wide,
                      [](char c, wchar_t w) { return wchar_t(c) == w; });
}

void cleanUp()
{
    std::remove((busDir + "/dev.info").c_str());
    ::rmdir(busDir.c_str());
    hid_exit();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char dir[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(dir))
        std::abort();
    busDir = dir;
    ::setenv("ORV_HID_BACKEND", ("vhid:" + busDir).c_str(), 1);
    if (hid_init() != 0)
        std::abort();
    std::atexit(cleanUp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 32 * 1024)
        return 0; // far beyond any description; the bus reader refuses such files
    const std::string text(reinterpret_cast<const char*>(data), size);
    vhid::DeviceInfo info;
    const bool parsed = vhid::DeviceInfo::parse(text, &info);
    if (parsed) {
        const std::string formatted = info.format();
        vhid::DeviceInfo again;
        if (!vhid::DeviceInfo::parse(formatted, &again) || again.format() != formatted)
            std::abort(); // the description does not survive its own text
    }

    FILE* file = std::fopen((busDir + "/dev.info").c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    hid_device_info* list = hid_enumerate(0, 0);
    if (parsed != (list != nullptr) || (list && list->next))
        std::abort();
    if (list && (list->vendor_id != info.vendorId || list->product_id != info.productId ||
                 list->release_number != info.release || list->usage_page != info.usagePage ||
                 list->usage != info.usage || list->interface_number != info.interfaceNumber ||
                 !sameWide(list->product_string, info.product) ||
                 !sameWide(list->serial_number, info.serial)))
        std::abort();
    hid_free_enumeration(list);
    return 0;
}
