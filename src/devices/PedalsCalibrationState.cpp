#include "PedalsCalibrationState.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

const char* const StepTexts[] = {
    QT_TRANSLATE_NOOP("ORV_wheel_tool", "Release all pedals and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Press the Throttle pedal to desired max travel and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Release the Throttle pedal to the neutral position and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Press the Brake pedal with desired max force and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Release the Brake pedal to the neutral position and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Press the Clutch pedal to desired max travel and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool",
                      "Release the Clutch pedal to the neutral position and press Next Step."),
    QT_TRANSLATE_NOOP("ORV_wheel_tool", "Press save to store the new calibration settings."),
};

// The released reading must differ from the pressed one; the difference is
// a signed 32-bit value, taken wide so its magnitude cannot overflow.
bool farEnough(uint32_t released, uint32_t pressed)
{
    const auto difference = int64_t(int32_t(released - pressed));
    return (difference < 0 ? -difference : difference) >= PedalsCalibrationState::MinTravel;
}

} // namespace

QString PedalsCalibrationState::stepText() const
{
    if (step < 0 || step > SaveStep)
        return QCoreApplication::translate("ORV_wheel_tool", "Wrong value!");
    return QCoreApplication::translate("ORV_wheel_tool", StepTexts[step]);
}

int PedalsCalibrationState::nextStep()
{
    // After the last connected pedal's released step comes the save step.
    step = (int64_t(step) + 1 == 2 * int64_t(pedalCount) + 1) ? SaveStep : step + 1;
    return step;
}

int PedalsCalibrationState::previousStep()
{
    step = int32_t(std::min<int64_t>(int64_t(step) - 1, 2 * int64_t(pedalCount)));
    return step;
}

bool PedalsCalibrationState::recordRawValue(uint32_t raw)
{
    switch (step) {
    case 1:
        working.throttleMax = raw;
        return true;
    case 2:
        if (!farEnough(raw, working.throttleMax))
            return false;
        working.throttleNeutral = raw;
        return true;
    case 3:
        working.brakeMax = raw;
        return true;
    case 4:
        if (!farEnough(raw, working.brakeMax))
            return false;
        working.brakeNeutral = raw;
        return true;
    case 5:
        working.clutchMax = raw;
        return true;
    case 6:
        if (!farEnough(raw, working.clutchMax))
            return false;
        working.clutchNeutral = raw;
        return true;
    default:
        return true;
    }
}

bool PedalsCalibrationState::assignChannel(uint8_t channel)
{
    uint8_t* pedal = nullptr;
    uint8_t* others[2] = {};
    switch (step) {
    case 1:
    case 2:
        pedal = &working.throttleChannel;
        others[0] = &working.brakeChannel;
        others[1] = &working.clutchChannel;
        break;
    case 3:
    case 4:
        pedal = &working.brakeChannel;
        others[0] = &working.throttleChannel;
        others[1] = &working.clutchChannel;
        break;
    case 5:
    case 6:
        pedal = &working.clutchChannel;
        others[0] = &working.throttleChannel;
        others[1] = &working.brakeChannel;
        break;
    default:
        return true;
    }
    if (channel != *others[0] && channel != *others[1]) {
        *pedal = channel;
        return true;
    }
    if (channel < PedalsCalibration::NoChannel)
        return false; // another pedal is on this channel
    // No pedal moved while another pedal is also unassigned.
    *pedal = PedalsCalibration::NoChannel;
    return true;
}
