#include "SimFirmwareDevice.h"

#include "SimProtocol.h"

#include <algorithm>

namespace orvsim {

SimFirmwareDevice::SimFirmwareDevice(const std::string& busDir, const std::string& stem,
                                     const Product& product, const std::string& serial,
                                     Layout layout)
    : SimDevice(busDir, stem, applicationInfo(product, serial)), layout_(layout)
{
    // Another stem, so the bootloader has its own path and the tool sees a
    // new device rather than the old one coming back.
    bootloaderDevice = std::make_unique<SimBootloader>(
        busDir, stem + "-bootloader", bootloaderInfo(product, serial),
        [this](const std::vector<uint8_t>* newImage) { bootloaderLeft(newImage); },
        [this] { restoreFactoryDefaults(); });
    setDeviceInfo(product.versions);
    SimDeviceInfo loader = product.versions;
    loader.firmwareMajor = product.bootloaderMajor;
    loader.firmwareMinor = product.bootloaderMinor;
    loader.buildLow = 0;
    bootloaderDevice->setDeviceInfo(loader);
}

vhid::DeviceInfo SimFirmwareDevice::applicationInfo(const Product& product,
                                                    const std::string& serial)
{
    vhid::DeviceInfo info;
    info.vendorId = 0x0483;
    info.productId = product.productId;
    info.release = 0x0200;
    info.product = product.name;
    info.manufacturer = "ORV";
    info.serial = serial;
    info.interfaceNumber = 0;
    info.usagePage = 1;
    info.usage = 4;
    return info;
}

vhid::DeviceInfo SimFirmwareDevice::bootloaderInfo(const Product& product,
                                                   const std::string& serial)
{
    vhid::DeviceInfo info = applicationInfo(product, serial);
    info.release = 0x0100;
    info.product = product.bootloaderName;
    info.usagePage = 0xFF00; // vendor-defined: a bootloader is no joystick
    info.usage = 1;
    return info;
}

SimFirmwareDevice::~SimFirmwareDevice()
{
    SimFirmwareDevice::shutdown();
}

void SimFirmwareDevice::shutdown()
{
    // The application's thread first, so nothing starts the bootloader while
    // it goes; whatever the bootloader still hands over is then dropped.
    SimDevice::shutdown();
    bootloaderDevice.reset();
}

bool SimFirmwareDevice::plug()
{
    std::lock_guard<std::mutex> lock(transitionMutex);
    if (identity_ == Identity::Application)
        return true;
    ++generation;
    bootloaderDevice->unplug();
    startApplication();
    const bool plugged = SimDevice::plug();
    setIdentity(plugged ? Identity::Application : Identity::Absent);
    return plugged;
}

void SimFirmwareDevice::unplug()
{
    std::lock_guard<std::mutex> lock(transitionMutex);
    ++generation;
    if (bootloaderDevice)
        bootloaderDevice->unplug();
    SimDevice::unplug();
    setIdentity(Identity::Absent);
}

void SimFirmwareDevice::setFrameTime(std::chrono::microseconds frame)
{
    SimDevice::setFrameTime(frame);
    bootloaderDevice->setFrameTime(frame);
}

SimFirmwareDevice::Identity SimFirmwareDevice::identity() const
{
    std::lock_guard<std::mutex> lock(transitionMutex);
    return identity_;
}

bool SimFirmwareDevice::waitForIdentity(Identity wanted, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(transitionMutex);
    return identityChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return identity_ == wanted; });
}

uint64_t SimFirmwareDevice::identityChanges() const
{
    std::lock_guard<std::mutex> lock(transitionMutex);
    return changes;
}

bool SimFirmwareDevice::waitForIdentityChanges(uint64_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(transitionMutex);
    return identityChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return changes >= count; });
}

void SimFirmwareDevice::setIdentity(Identity identity)
{
    if (identity_ == identity)
        return;
    identity_ = identity;
    ++changes;
    identityChanged.notify_all();
}

void SimFirmwareDevice::setRebootDelay(std::chrono::milliseconds delay)
{
    rebootDelayMs = std::max<int64_t>(0, delay.count());
}

void SimFirmwareDevice::enterBootloader()
{
    std::lock_guard<std::mutex> lock(transitionMutex);
    if (identity_ != Identity::Application)
        return;
    SimDevice::unplug();
    setIdentity(Identity::Absent);
    const uint64_t restart = ++generation;
    runLater(std::chrono::milliseconds(rebootDelayMs), [this, restart] {
        std::lock_guard<std::mutex> lock(transitionMutex);
        if (restart == generation && bootloaderDevice->plug())
            setIdentity(Identity::Bootloader);
    });
}

void SimFirmwareDevice::bootloaderLeft(const std::vector<uint8_t>* newImage)
{
    if (newImage) {
        std::lock_guard<std::mutex> model(modelMutex);
        image = *newImage;
        ++updates;
        if (info_.firmwareMinor == 255) {
            ++info_.firmwareMajor;
            info_.firmwareMinor = 0;
        } else {
            ++info_.firmwareMinor;
        }
    }
    std::lock_guard<std::mutex> lock(transitionMutex);
    if (identity_ != Identity::Bootloader)
        return;
    setIdentity(Identity::Absent);
    const uint64_t restart = ++generation;
    runLater(std::chrono::milliseconds(rebootDelayMs), [this, restart] {
        std::lock_guard<std::mutex> lock(transitionMutex);
        if (restart != generation)
            return;
        startApplication();
        if (SimDevice::plug())
            setIdentity(Identity::Application);
    });
}

void SimFirmwareDevice::startApplication()
{
    std::lock_guard<std::mutex> model(modelMutex);
    active = stored;
    transfer = Transfer();
    startTime = Clock::now();
    startKind();
}

SimDeviceInfo SimFirmwareDevice::deviceInfo() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return info_;
}

void SimFirmwareDevice::setDeviceInfo(const SimDeviceInfo& info)
{
    std::lock_guard<std::mutex> model(modelMutex);
    info_ = info;
}

void SimFirmwareDevice::setHardwareVersion(uint8_t majorNumber, uint8_t minorNumber)
{
    std::lock_guard<std::mutex> model(modelMutex);
    info_.hardwareMajor = majorNumber;
    info_.hardwareMinor = minorNumber;
}

void SimFirmwareDevice::setFirmwareVersion(uint8_t majorNumber, uint8_t minorNumber)
{
    std::lock_guard<std::mutex> model(modelMutex);
    info_.firmwareMajor = majorNumber;
    info_.firmwareMinor = minorNumber;
}

std::vector<uint8_t> SimFirmwareDevice::installedImage() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return image;
}

int SimFirmwareDevice::installedUpdates() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return updates;
}

SimProfileList SimFirmwareDevice::profiles() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return active;
}

SimProfileList SimFirmwareDevice::storedProfiles() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return stored;
}

bool SimFirmwareDevice::setProfiles(const SimProfileList& list)
{
    if (list.count() == 0 || list.count() > layout_.capacity)
        return false;
    for (const auto& record : list.records)
        if (record.size() != layout_.recordSize)
            return false;
    SimProfileList fixed = list;
    for (size_t i = 0; i < fixed.count(); ++i)
        fixed.records[i][0] = uint8_t(i);
    fixed.currentIndex = uint8_t(std::min<size_t>(list.currentIndex, list.count() - 1));
    std::lock_guard<std::mutex> model(modelMutex);
    active = stored = fixed;
    transfer = Transfer();
    return true;
}

void SimFirmwareDevice::setDefaultProfileCount(int count)
{
    {
        std::lock_guard<std::mutex> model(modelMutex);
        defaultCount = std::clamp(count, 1, int(layout_.capacity));
    }
    restoreFactoryDefaults();
}

SimProfileList SimFirmwareDevice::factoryList() const
{
    SimProfileList list;
    for (int i = 0; i < defaultCount; ++i) {
        SimProfileList::Record record = factoryProfile(i);
        record.resize(layout_.recordSize, 0);
        record[0] = uint8_t(i);
        list.records.push_back(std::move(record));
    }
    return list;
}

void SimFirmwareDevice::restoreFactoryDefaults()
{
    std::lock_guard<std::mutex> model(modelMutex);
    active = stored = factoryList();
    transfer = Transfer();
    restoreKindDefaults();
}

double SimFirmwareDevice::uptimeSeconds() const
{
    return std::chrono::duration<double>(Clock::now() - startTime).count();
}

SimDevice::Report SimFirmwareDevice::answer(uint8_t code) const
{
    Report report(ReportSize, 0);
    report[0] = ResponseReportId;
    report[1] = code;
    report[2] = static_cast<uint8_t>(layout_.protocolVersion);
    return report;
}

void SimFirmwareDevice::handleOutputReport(const Report& command)
{
    switch (command[1]) {
    case Command::EnterBootloader:
        // The tool sends 0 in the version byte here; anything else is not
        // the command.
        if (command[2] != 0)
            return;
        if (answersEnterBootloader())
            reply(answer(Command::EnterBootloader));
        afterAnswers([this] { enterBootloader(); });
        return;
    case Command::ReadSettings:
        readSettings(command);
        return;
    case Command::SaveSettings:
    case Command::UpdateSettings:
        beginOrEndTransfer(command);
        return;
    case Command::ReadProfile:
        readProfile(command);
        return;
    case Command::WriteProfile:
        takeRecord(command, Command::SaveSettings);
        return;
    case Command::UpdateProfile:
        takeRecord(command, Command::UpdateSettings);
        return;
    case Command::Reset:
        if (command[5] == 1)
            restoreFactoryDefaults();
        return;
    default:
        handleKindCommand(command);
        return;
    }
}

void SimFirmwareDevice::readSettings(const Report& command)
{
    const size_t k = layout_.countByte;
    Report response = answer(Command::ReadSettings);
    if (command[k] == 0xFF) {
        if (!echoReadEnd)
            return;
        response[k] = 0xFF;
        reply(std::move(response));
        return;
    }
    response[2] = static_cast<uint8_t>(protocolVersion(layout_.protocolVersion));
    {
        std::lock_guard<std::mutex> model(modelMutex);
        const auto info = info_.bytes();
        std::copy(info.begin(), info.end(), response.begin() + 3);
        fillSettingsAnswer(response);
        response[k] = uint8_t(active.count());
        response[k + 1] = active.currentIndex;
    }
    reply(std::move(response));
}

void SimFirmwareDevice::beginOrEndTransfer(const Report& command)
{
    const uint8_t code = command[1];
    const size_t k = layout_.countByte;
    Report response = answer(code);
    if (command[k] == 0xFF) {
        bool complete;
        {
            std::lock_guard<std::mutex> model(modelMutex);
            if (transfer.beginCode != code)
                return; // an end without its begin closes nothing
            complete = std::find(transfer.written.begin(), transfer.written.end(), false) ==
                       transfer.written.end();
            // Only a whole list replaces the one in use; a save also keeps it.
            if (complete) {
                active = transfer.list;
                if (code == Command::SaveSettings)
                    stored = transfer.list;
            }
            transfer = Transfer();
        }
        if (complete) {
            response[k] = 0xFF;
            reply(std::move(response));
        }
        return;
    }
    const size_t count = command[k];
    // Refused without an answer: the list cannot be empty or outgrow the
    // store, and confirming it would have the tool send records for slots
    // that do not exist.
    if (count == 0 || count > layout_.capacity)
        return;
    const uint8_t current = uint8_t(std::min<size_t>(command[k + 1], count - 1));
    {
        std::lock_guard<std::mutex> model(modelMutex);
        transfer.beginCode = code;
        transfer.list.currentIndex = current;
        transfer.list.records.assign(count, SimProfileList::Record(layout_.recordSize, 0));
        for (size_t i = 0; i < count; ++i) {
            if (i < active.count())
                transfer.list.records[i] = active.records[i];
            transfer.list.records[i][0] = uint8_t(i);
        }
        transfer.written.assign(count, false);
    }
    response[k] = uint8_t(count);
    response[k + 1] = current;
    reply(std::move(response));
}

void SimFirmwareDevice::takeRecord(const Report& command, uint8_t beginCode)
{
    const size_t index = command[3];
    const auto first = command.begin() + 3;
    SimProfileList::Record record(first, first + long(layout_.recordSize));
    {
        std::lock_guard<std::mutex> model(modelMutex);
        if (transfer.beginCode != beginCode || index >= transfer.list.count())
            return;
        transfer.list.records[index] = record;
        transfer.written[index] = true;
        // A live update takes effect at once, record by record.
        if (beginCode == Command::UpdateSettings && index < active.count())
            active.records[index] = record;
    }
    Report response = answer(command[1]);
    std::copy(record.begin(), record.end(), response.begin() + 3);
    reply(std::move(response));
}

void SimFirmwareDevice::readProfile(const Report& command)
{
    const size_t index = command[3];
    Report response = answer(Command::ReadProfile);
    {
        std::lock_guard<std::mutex> model(modelMutex);
        if (index >= active.count())
            return;
        std::copy(active.records[index].begin(), active.records[index].end(), response.begin() + 3);
    }
    reply(std::move(response));
}

} // namespace orvsim
