#pragma once

#include <cstdint>
#include <cstring>

// Multi-byte fields of reports, records and files are little-endian and may
// sit at any offset: read and write them through these, never through a
// cast pointer.
namespace le {

inline uint16_t u16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline int16_t i16(const uint8_t* p)
{
    return int16_t(u16(p));
}

inline uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline float f32(const uint8_t* p)
{
    const uint32_t bits = u32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void putU16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

inline void putF32(uint8_t* p, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU32(p, bits);
}

} // namespace le
