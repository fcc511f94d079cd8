#pragma once

// Reads a fuzzer's input front to back; past its end every read is zero, so
// a harness never has to check lengths.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), left(size) {}

    bool empty() const { return left == 0; }

    uint8_t byte()
    {
        uint8_t b = 0;
        take(&b, 1);
        return b;
    }

    uint16_t word()
    {
        const uint8_t low = byte();
        return uint16_t(low | byte() << 8);
    }

    // Fills n bytes (zero past the end).
    void take(void* out, size_t n)
    {
        if (n == 0)
            return;
        const size_t k = n < left ? n : left;
        std::memset(out, 0, n);
        if (k > 0)
            std::memcpy(out, data, k);
        data += k;
        left -= k;
    }

    std::vector<uint8_t> bytes(size_t n)
    {
        std::vector<uint8_t> out(n);
        take(out.data(), n);
        return out;
    }

private:
    const uint8_t* data;
    size_t left;
};
