#pragma once

#include "OrvCommandReport.h"
#include "UsbCommand.h"

#include <cstddef>
#include <cstdint>

// How one device kind frames its profile list transfers (read, save, live
// update): its protocol version, where the count and current index travel,
// the record size and how many slots its list has.
struct ProfileListTransfer
{
    static constexpr size_t RecordOffset = 3;
    // Every record starts with its index, then a 16-byte name.
    static constexpr size_t NameOffset = 1;
    static constexpr size_t NameSize = 16;
    static constexpr uint8_t EndOfList = 0xFF;

    uint8_t version;
    size_t countOffset;
    size_t recordSize;
    int capacity;

    // Read profile i names the slot; write and update carry the record.
    OrvCommandReport profileCommand(UsbCommand code, int slot, const void* record) const
    {
        OrvCommandReport command(code, version);
        if (code == UsbCommand::ReadProfile)
            command[RecordOffset] = uint8_t(slot);
        else
            command.put(RecordOffset, record, recordSize);
        return command;
    }

    // A begin carries the count and current index (a read's begin carries
    // none); the end carries 0xFF in their place.
    OrvCommandReport listCommand(UsbCommand code, bool begin, uint8_t count, uint8_t current) const
    {
        OrvCommandReport command(code, version);
        if (!begin) {
            command[countOffset] = EndOfList;
        } else if (code != UsbCommand::ReadSettings) {
            command[countOffset] = count;
            command[countOffset + 1] = current;
        }
        return command;
    }

    // The slot an answer names, or -1 when it names none of the list's.
    int answeredIndex(const uint8_t* report, int profileCount) const
    {
        const int i = int8_t(report[RecordOffset]);
        return (i >= 0 && i < profileCount && i < capacity) ? i : -1;
    }

    // The device's echo of an end command.
    bool isEndEcho(const uint8_t* report) const { return report[countOffset] == EndOfList; }

    // A count and current index the list can hold.
    bool fits(uint8_t count, uint8_t current) const
    {
        return count >= 1 && count <= capacity && current < count;
    }
};
