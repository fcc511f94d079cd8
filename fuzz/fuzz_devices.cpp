// One device object of each kind driven by a sequence of input reports and
// user actions. The first byte picks the kind; then each step is either a
// 64-byte input report (step byte below 0x80) or an action. The device is
// opened on a private bus from a throwaway endpoint that swallows whatever
// it writes; the timers' work is run by hand rather than waited for.

#include "FuzzInput.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "hid/hid.h"
#include "sim/VhidEndpoint.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct Bus
{
    std::string dir;
    std::unique_ptr<orvsim::VhidEndpoint> endpoint;

    ~Bus()
    {
        endpoint.reset();
        hid_exit();
        ::rmdir(dir.c_str());
    }
};

Bus* bus = nullptr;

// A step report; the low bits of the step byte put in the report IDs and
// the protocol version the device looks for, so that answers get through.
void deliver(UsbDevice* device, int kind, uint8_t step, FuzzInput& in)
{
    static const uint8_t versions[3] = {UsbDeviceOrvWheelBase::ProtocolVersion,
                                        UsbDeviceOrvPedals::ProtocolVersion,
                                        UsbDeviceOrvBootloader::ProtocolVersion};
    OrvUsbReport report{};
    in.take(report.data, sizeof report.data);
    switch (step & 3) {
    case 1:
        report.data[0] = 0x01;
        break;
    case 2:
        report.data[0] = 0x65;
        break;
    case 3:
        report.data[0] = 0x65;
        report.data[2] = versions[kind];
        break;
    }
    device->handleReport(&report, 1);
}

void runTimers(UsbDevice* device, uint8_t which)
{
    QMetaObject::invokeMethod(device, (which & 1) ? "sendUpdateBegin" : "retryOnTimeout");
}

template <class Device> void editCurrent(Device* d, FuzzInput& in)
{
    // The window edits the current profile in place, then sends it.
    if (d->currentProfileIndex < d->profileCount && d->currentProfileIndex < Device::MaxProfiles) {
        const uint8_t index = d->profiles[d->currentProfileIndex].index;
        in.take(&d->profiles[d->currentProfileIndex], sizeof d->profiles[0]);
        d->profiles[d->currentProfileIndex].index = index;
        d->updateSettings();
    }
}

template <class Device> void chooseProfile(Device* d, uint8_t slot)
{
    // The window only ever chooses a slot of the list.
    if (slot < d->profileCount && slot < Device::MaxProfiles)
        d->currentProfileIndex = slot;
}

// What the window does with the profile list of either kind; false when
// the action is one of the kind's own.
template <class Device, class Profile> bool actOnList(Device* d, uint8_t action, FuzzInput& in)
{
    switch (action) {
    case 0:
        d->loadSettings();
        return true;
    case 1:
        d->saveSettings();
        return true;
    case 2:
        d->updateSettings();
        return true;
    case 3:
        d->addProfile();
        return true;
    case 4:
        d->removeCurrentProfile();
        return true;
    case 5: {
        Profile profile{};
        in.take(&profile, sizeof profile);
        d->replaceCurrentProfile(profile);
        return true;
    }
    case 6:
        d->enterBootloader();
        return true;
    case 7:
        d->resetToFactoryDefaults();
        return true;
    case 8:
        runTimers(d, in.byte());
        return true;
    case 9:
        chooseProfile(d, in.byte());
        return true;
    case 10:
        d->settingsLoaded = in.byte() & 1;
        return true;
    case 11:
        editCurrent(d, in);
        return true;
    }
    return false;
}

constexpr uint8_t ListActions = 12;

void act(UsbDeviceOrvWheelBase* d, uint8_t action, FuzzInput& in)
{
    action %= ListActions + 3;
    if (actOnList<UsbDeviceOrvWheelBase, OrvUsbWheelBaseProfileV5>(d, action, in))
        return;
    switch (action - ListActions) {
    case 0:
        d->centerRim();
        break;
    case 1: {
        float force = 0;
        in.take(&force, sizeof force);
        d->sendTestForceCommand(force);
        break;
    }
    case 2:
        d->sendTestBrakeResistorCommand(in.byte() & 1);
        break;
    }
}

void act(UsbDeviceOrvPedals* d, uint8_t action, FuzzInput& in)
{
    action %= ListActions + 7;
    if (actOnList<UsbDeviceOrvPedals, OrvUsbPedalsProfileV2>(d, action, in))
        return;
    switch (action - ListActions) {
    case 0:
        d->loadCalibration();
        break;
    case 1:
        d->saveCalibration();
        break;
    case 2:
        d->startCalibration();
        break;
    case 3:
        d->stopCalibration();
        break;
    // The calibration wizard's steps, on the state kept with the pedals.
    case 4:
        (in.byte() & 1) ? d->calibrationState.nextStep() : d->calibrationState.previousStep();
        break;
    case 5: {
        uint32_t raw = 0;
        in.take(&raw, sizeof raw);
        d->calibrationState.recordRawValue(raw);
        break;
    }
    case 6:
        d->calibrationState.assignChannel(in.byte());
        break;
    }
}

void act(UsbDeviceOrvBootloader* d, uint8_t action, FuzzInput& in)
{
    switch (action % 5) {
    case 0:
        d->loadSettings();
        break;
    case 1:
        d->exitBootloader();
        break;
    case 2:
        d->resetToFactoryDefaults();
        break;
    case 3: {
        // Short images, so that the fuzzer can walk one to its end.
        const size_t length = in.word() % 512;
        const std::vector<uint8_t> image = in.bytes(length);
        d->updateFirmware(QByteArray(reinterpret_cast<const char*>(image.data()), int(length)));
        break;
    }
    case 4:
        runTimers(d, 0);
        break;
    }
}

template <class Device> void run(Device* device, int kind, FuzzInput& in)
{
    for (int steps = 0; steps < 512 && !in.empty(); ++steps) {
        const uint8_t step = in.byte();
        if (step < 0x80)
            deliver(device, kind, step, in);
        else
            act(device, uint8_t(step - 0x80), in);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Device timers need an application object; they are never waited for.
    static QCoreApplication app(*argc, *argv);
    char dir[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(dir))
        std::abort();
    static Bus theBus;
    bus = &theBus;
    bus->dir = dir;
    ::setenv("ORV_HID_BACKEND", ("vhid:" + bus->dir).c_str(), 1);
    hid_init();
    vhid::DeviceInfo info;
    info.vendorId = 0x0483;
    info.productId = 0xA355;
    info.product = "Fuzz";
    bus->endpoint = std::make_unique<orvsim::VhidEndpoint>(bus->dir, "dev", info);
    if (!bus->endpoint->plug())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int kind = in.byte() % 3;
    const std::string& path = bus->endpoint->sockPath();
    hid_device* handle = hid_open_path(path.c_str());
    // The endpoint is always there, but may be behind with its connections.
    for (int attempt = 0; !handle && attempt < 1000; ++attempt) {
        ::usleep(1000);
        handle = hid_open_path(path.c_str());
    }
    if (!handle)
        std::abort();
    const QString qpath = QString::fromStdString(path);
    if (kind == 0) {
        UsbDeviceOrvWheelBase device(qpath, handle);
        run(&device, kind, in);
    } else if (kind == 1) {
        UsbDeviceOrvPedals device(qpath, handle);
        run(&device, kind, in);
    } else {
        UsbDeviceOrvBootloader device(qpath, handle);
        run(&device, kind, in);
    }
    return 0;
}
