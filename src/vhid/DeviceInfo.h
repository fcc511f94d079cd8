#pragma once

// What a device on the virtual HID bus announces in its STEM.info: UTF-8,
// one key=value a line. Devices write it, the tool's bus backend reads it.

#include <cstdint>
#include <string>

namespace vhid {

// No report on the bus is longer; the readers size their buffers by it.
constexpr int MaxReportLength = 4096;

struct DeviceInfo
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;
    std::string product;
    std::string manufacturer;
    std::string serial;
    int interfaceNumber = -1;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    int inputReportLength = 64;
    int outputReportLength = 64;

    // The IDs and release in hex with 0x, the other numbers in decimal; a
    // line break or NUL in a string goes as a space.
    std::string format() const;
    // False for text that is not a complete, well-formed announcement. Any
    // number may be hex (with 0x) or decimal; unknown keys are skipped.
    static bool parse(const std::string& text, DeviceInfo* out);
};

} // namespace vhid
