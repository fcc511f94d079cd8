#pragma once

// Talks to one simulated device through the HID layer as the tool does:
// 64-byte command reports out, input reports collected with the split read.

#include "hid/hid.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using Report = std::vector<uint8_t>;

// A 64-byte command report: ID 0x64, code, version byte, then the bytes given.
Report command(uint8_t code, uint8_t version,
               std::initializer_list<std::pair<size_t, uint8_t>> bytes = {});

class SimClient
{
public:
    explicit SimClient(const std::string& path);
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool send(const Report& report);

    // The next report with this ID, others skipped; empty on time-out or when
    // the device went away.
    Report next(uint8_t reportId, int timeoutMs = 1000);
    Report nextAnswer(int timeoutMs = 1000) { return next(0x65, timeoutMs); }
    Report nextJoystick(int timeoutMs = 1000) { return next(0x01, timeoutMs); }
    // Sends and waits for the answer.
    Report ask(const Report& report) { return send(report) ? nextAnswer() : Report(); }
    // True when no answer came within ms (joystick reports do not count).
    bool quietFor(int ms) { return nextAnswer(ms).empty() && !lost; }
    // Reads until the connection fails (the device left the bus), skipping
    // everything: no device sends report ID 0xEE.
    bool waitGone(int timeoutMs)
    {
        next(0xEE, timeoutMs);
        return lost;
    }

private:
    hid_device* device = nullptr;
    bool lost = false;
};
