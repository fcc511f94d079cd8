#pragma once

// The bootloader that a wheel base or pedals restart into: it reports its
// device information, takes a firmware image chunk by chunk (echoing each
// chunk as received, keeping it only when its CRC holds), and hands a
// complete image to the application when told that the transfer is over.

#include "SimDevice.h"
#include "SimDeviceInfo.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace orvsim {

class SimBootloader : public SimDevice
{
public:
    static constexpr int ProtocolVersion = 2;
    static constexpr size_t ChunkSize = 32;
    static constexpr int MaxChunks = 32767; // the index is a signed 16-bit field

    // Called on the bootloader's thread once it has left the bus: image is the
    // new application firmware, or null to start the old one unchanged.
    using LeaveHandler = std::function<void(const std::vector<uint8_t>* image)>;
    using ResetHandler = std::function<void()>;

    enum class Outcome
    {
        None,       // no transfer ended yet
        Installed,  // complete image handed to the application
        Incomplete, // final command with chunks missing or failed: stays here
        Empty,      // final command of an empty image: nothing to install
    };

    SimBootloader(const std::string& busDir, const std::string& stem, vhid::DeviceInfo info,
                  LeaveHandler onLeave, ResetHandler onReset);
    ~SimBootloader() override;

    SimDeviceInfo deviceInfo() const;
    void setDeviceInfo(const SimDeviceInfo& info);

    // The echo of chunk index has one data bit flipped in transit; -1 none.
    void setCorruptEchoOfChunk(int index);
    // Hangs once it has echoed chunk index: takes no command and answers
    // nothing until it is plugged again; -1 never.
    void setSilentAfterChunk(int index);
    bool plug() override;

    // The current (or last) transfer: the image as far as it came, chunks not
    // received left zero, and how many chunks it announced and were kept.
    std::vector<uint8_t> receivedImage() const;
    int announcedChunks() const;
    int keptChunks() const;
    // Chunk commands taken, repeats and rejects included.
    uint64_t chunkCommands() const;
    Outcome lastOutcome() const;

protected:
    void fillJoystickReport(uint8_t*, uint64_t) override {}
    void handleOutputReport(const Report& report) override;

private:
    void takeChunk(const Report& command);
    void endTransfer(int count);
    void leave(const std::vector<uint8_t>* image);

    const LeaveHandler onLeave;
    const ResetHandler onReset;

    mutable std::mutex mutex;
    SimDeviceInfo info_;
    int corruptChunk = -1;
    int silentAfter = -1;
    bool hung = false;
    int chunkCount = 0;
    std::vector<uint8_t> image;
    std::vector<bool> kept;
    uint64_t commands = 0;
    Outcome outcome = Outcome::None;
};

} // namespace orvsim
