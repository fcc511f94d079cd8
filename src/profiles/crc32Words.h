#pragma once

#include <cstddef>
#include <cstdint>

// The devices' checksum: CRC-32 (polynomial 0x04C11DB7, initial 0xFFFFFFFF,
// no reflection, no final XOR) over whole little-endian 32-bit words, as the
// microcontroller's CRC unit computes it. Trailing bytes past the last whole
// word are ignored, and the word count is kept to 16 bits as the firmware does;
// no whole word gives 0xFFFFFFFF. Guards profile files and firmware chunks.
uint32_t crc32Words(const void* data, size_t length);
