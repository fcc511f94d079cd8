#pragma once

// The application firmware that the wheel base and the pedals share: the
// settings answer, the profile list transfers (read, save, live update),
// factory defaults, and the way into the bootloader and back. One object is
// one physical device: it is on the bus as the application, as its
// bootloader (another endpoint, same product ID), or for a moment as neither.

#include "SimBootloader.h"
#include "SimDevice.h"
#include "SimDeviceInfo.h"
#include "SimProfileList.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace orvsim {

class SimFirmwareDevice : public SimDevice
{
public:
    enum class Identity
    {
        Absent,
        Application,
        Bootloader,
    };

    // Where one kind puts things in its transfers.
    struct Layout
    {
        int protocolVersion;
        size_t recordSize;
        size_t countByte; // profile count in begin/end commands and the settings answer
        size_t capacity;
    };

    // Who a kind is: its product on the bus, as the application and as its
    // bootloader, and the versions each answers with.
    struct Product
    {
        uint16_t productId;
        const char* name;
        const char* bootloaderName;
        SimDeviceInfo versions;
        uint8_t bootloaderMajor;
        uint8_t bootloaderMinor;
    };

    static constexpr std::chrono::milliseconds DefaultRebootDelay{300};

    SimFirmwareDevice(const std::string& busDir, const std::string& stem, const Product& product,
                      const std::string& serial, Layout layout);
    ~SimFirmwareDevice() override;

    // Plugging starts the application as at power-on: the settings in use
    // are reloaded from the permanent store. Unplugging takes off whichever
    // identity is on the bus and cancels a restart under way.
    bool plug() override;
    void unplug() override;
    // Applies to the bootloader too.
    void setFrameTime(std::chrono::microseconds frame) override;

    Identity identity() const;
    bool waitForIdentity(Identity wanted, int timeoutMs) const;
    // Counts every change of identity, so a test can wait for the next one.
    uint64_t identityChanges() const;
    bool waitForIdentityChanges(uint64_t count, int timeoutMs) const;
    // Time off the bus when restarting into the bootloader or out of it.
    void setRebootDelay(std::chrono::milliseconds delay);
    // What the enter-bootloader command does.
    void enterBootloader();
    SimBootloader& bootloader() { return *bootloaderDevice; }

    static vhid::DeviceInfo applicationInfo(const Product& product, const std::string& serial);
    static vhid::DeviceInfo bootloaderInfo(const Product& product, const std::string& serial);

    const Layout& layout() const { return layout_; }
    SimDeviceInfo deviceInfo() const;
    void setDeviceInfo(const SimDeviceInfo& info);
    void setHardwareVersion(uint8_t majorNumber, uint8_t minorNumber);
    void setFirmwareVersion(uint8_t majorNumber, uint8_t minorNumber);
    // The image the bootloader last installed, and how many it installed.
    std::vector<uint8_t> installedImage() const;
    int installedUpdates() const;

    // The list the firmware works with (changed by live updates and centring)
    // and the permanent one (changed by saving; loaded at every start).
    SimProfileList profiles() const;
    SimProfileList storedProfiles() const;
    // Sets both; false (and nothing changed) when the list does not fit.
    bool setProfiles(const SimProfileList& list);
    // The factory set has count profiles (1 to capacity); restores it now.
    void setDefaultProfileCount(int count);
    void restoreFactoryDefaults();
    // Whether the end of a settings read is answered like the ends of save
    // and update. Off by default: the tool takes every answer to a settings
    // read as the start of one, so the echo would make it read forever.
    void setEchoReadEnd(bool echo) { echoReadEnd = echo; }

protected:
    void shutdown() override;
    void handleOutputReport(const Report& command) override;

    // Kind hooks. Those marked "locked" run with modelMutex held.
    virtual SimProfileList::Record factoryProfile(int index) const = 0;
    virtual void fillSettingsAnswer(Report&) const {} // locked
    virtual void restoreKindDefaults() {}             // locked
    virtual void startKind() {}                       // locked; at every start
    // Commands only this kind knows; firmware thread.
    virtual void handleKindCommand(const Report&) {}
    virtual bool answersEnterBootloader() const { return false; }

    // A response to code with the model's protocol version, payload zero.
    Report answer(uint8_t code) const;
    // Seconds since the application last started; locked.
    double uptimeSeconds() const;

    mutable std::mutex modelMutex;
    SimProfileList active; // modelMutex

private:
    struct Transfer
    {
        uint8_t beginCode = 0; // 0: none under way
        SimProfileList list;
        std::vector<bool> written;
    };

    void readSettings(const Report& command);
    void beginOrEndTransfer(const Report& command);
    void takeRecord(const Report& command, uint8_t beginCode);
    void readProfile(const Report& command);
    SimProfileList factoryList() const;
    void startApplication(); // modelMutex not held
    void setIdentity(Identity identity);
    void bootloaderLeft(const std::vector<uint8_t>* image);

    const Layout layout_;
    std::unique_ptr<SimBootloader> bootloaderDevice;

    // Identity changes, serialised; never taken while modelMutex is held.
    mutable std::mutex transitionMutex;
    mutable std::condition_variable identityChanged;
    Identity identity_ = Identity::Absent;
    uint64_t changes = 0;
    uint64_t generation = 0; // a scheduled restart runs only if nothing came between
    std::atomic<int64_t> rebootDelayMs{DefaultRebootDelay.count()};
    std::atomic<bool> echoReadEnd{false};

    // modelMutex
    SimDeviceInfo info_;
    SimProfileList stored;
    int defaultCount = 3;
    Transfer transfer;
    std::vector<uint8_t> image;
    int updates = 0;
    Clock::time_point startTime = Clock::now();
};

} // namespace orvsim
