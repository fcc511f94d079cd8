#include "crc32Words.h"

uint32_t crc32Words(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t words = (length / 4) & 0xFFFF;

    uint32_t crc = 0xFFFFFFFF;
    for (size_t w = 0; w < words; ++w, bytes += 4) {
        // Composed from bytes: no alignment needed, and host order is irrelevant.
        crc ^= uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
               uint32_t(bytes[3]) << 24;
        for (int bit = 0; bit < 32; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}
