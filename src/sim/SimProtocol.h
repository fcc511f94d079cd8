#pragma once

// What the simulated firmware shares with the tool on the wire: report IDs,
// command codes, little-endian field access and the devices' word-wise CRC.
// Written here on its own: the simulator links nothing of the tool, and an
// independent copy cross-checks the tool's.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvsim {

constexpr uint8_t JoystickReportId = 0x01;
constexpr uint8_t CommandReportId = 0x64;
constexpr uint8_t ResponseReportId = 0x65;

namespace Command {
enum : uint8_t
{
    EnterBootloader = 1,
    FirmwareChunk = 1, // the bootloader's meaning of code 1
    DebugOutput = 2,
    ReadSettings = 3,
    SaveSettings = 4,
    ReadProfile = 5,
    WriteProfile = 6,
    CenterRim = 7,
    Reset = 8,
    TestCommand = 9,
    ReadCalibration = 10,
    SaveCalibration = 11,
    UpdateSettings = 12,
    UpdateProfile = 13,
    StartCalibration = 14,
    StopCalibration = 15,
};
} // namespace Command

inline uint16_t getU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t getU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline float getF32(const uint8_t* p)
{
    const uint32_t bits = getU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void putU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void putU64(uint8_t* p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void putF32(uint8_t* p, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU32(p, bits);
}

// CRC-32 over whole little-endian words (polynomial 0x04C11DB7, initial
// 0xFFFFFFFF, no reflection, no final XOR), as the microcontroller's CRC unit
// computes it; bytes past the last whole word are not covered.
uint32_t wordCrc32(const uint8_t* data, size_t length);

} // namespace orvsim
