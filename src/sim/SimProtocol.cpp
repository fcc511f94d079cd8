#include "SimProtocol.h"

namespace orvsim {

uint32_t wordCrc32(const uint8_t* data, size_t length)
{
    // The CRC unit counts words in a 16-bit register.
    const size_t words = (length / 4) & 0xFFFF;
    uint32_t crc = 0xFFFFFFFF;
    for (size_t w = 0; w < words; ++w) {
        crc ^= getU32(data + 4 * w);
        for (int bit = 0; bit < 32; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

} // namespace orvsim
