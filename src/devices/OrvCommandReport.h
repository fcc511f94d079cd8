#pragma once

#include "OrvUsbReport.h"
#include "UsbCommand.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// A 64-byte command report under construction: report ID 0x64, the command
// code and the protocol version, every other byte 0 until set.
class OrvCommandReport
{
public:
    OrvCommandReport(UsbCommand code, uint8_t version)
    {
        bytes.fill(0);
        bytes[0] = OrvUsbReport::CommandId;
        bytes[1] = uint8_t(code);
        bytes[2] = version;
    }

    uint8_t& operator[](size_t offset) { return bytes.at(offset); }
    // Copies a record into the payload; it must fit in the report.
    void put(size_t offset, const void* source, size_t size)
    {
        if (offset <= bytes.size() && size <= bytes.size() - offset)
            std::memcpy(bytes.data() + offset, source, size);
    }
    const uint8_t* data() const { return bytes.data(); }

private:
    std::array<uint8_t, OrvUsbReport::Size> bytes;
};
