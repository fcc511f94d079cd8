#pragma once

#include "PedalsCalibration.h"

#include <QString>

#include <cstdint>

// The calibration wizard's working state, kept with the pedals so that the
// wizard and the device share one calibration record. Steps: 0 all released,
// then pressed/released for throttle (1, 2), brake (3, 4) and clutch (5, 6),
// and 7 to save; pedals that are not connected are skipped.
struct PedalsCalibrationState
{
    static constexpr int SaveStep = 7;
    // How far a released reading must lie from the pressed one.
    static constexpr int64_t MinTravel = 5000;

    uint8_t active = 0;
    int32_t step = 0;
    PedalsCalibration working = {};
    uint32_t restRaw[3] = {};
    uint8_t detectedChannel = PedalsCalibration::NoChannel;
    uint32_t pedalCount = 0;

    QString stepText() const;
    int nextStep();
    int previousStep();
    // Takes the raw reading for the current step; false when a released
    // reading is too close to the pressed one (nothing is stored then).
    bool recordRawValue(uint32_t raw);
    // Gives the current step's pedal a channel; false when another pedal
    // already has it.
    bool assignChannel(uint8_t channel);
};
