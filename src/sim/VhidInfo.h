#pragma once

// The ".info" file that announces a device on the virtual HID bus: UTF-8,
// one key=value a line. Both sides of the bus read and write it through this.

#include <cstdint>
#include <string>

namespace orvsim {

struct VhidInfo
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

    std::string format() const;
    // False for text that is not a complete, well-formed announcement.
    static bool parse(const std::string& text, VhidInfo* out);
};

constexpr int VhidMaxReportLength = 4096;

// Reads a small text file whole; false if it is missing or unreasonably big.
bool readSmallFile(const std::string& path, std::string* out);
// Writes through a temporary name and a rename, so readers never see half.
bool writeFileAtomically(const std::string& path, const std::string& content);

} // namespace orvsim
