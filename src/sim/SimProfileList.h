#pragma once

// A device's profile list as the firmware keeps it: the records exactly as
// they travel (first byte the index, then the name), and the current one.

#include <cstdint>
#include <vector>

namespace orvsim {

struct SimProfileList
{
    using Record = std::vector<uint8_t>;

    uint8_t currentIndex = 0;
    std::vector<Record> records;

    size_t count() const { return records.size(); }
};

} // namespace orvsim
