#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// The record is copied byte for byte to and from the device and profile
// files, both little-endian; a big-endian host would need field swapping.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "profile records assume a little-endian host");

// One wheel base profile, exactly as the device and the profile file hold it.
// Move it to and from byte buffers with memcpy, never through a cast pointer.
#pragma pack(push, 1)
struct OrvUsbWheelBaseProfileV5
{
    uint8_t index;
    char name[16];      // UTF-8, NUL-terminated when well formed
    float centerOffset; // turns
    int32_t rotationDegrees;
    uint8_t encoderType;
    int32_t encoderResolution;
    int32_t maxForce;
    int8_t generalSmoothing;
    int8_t damping;
    int8_t friction;
    int8_t inertia;
    int8_t spring;
    uint8_t dampingEffect;
    uint8_t frictionEffect;
    uint8_t inertiaEffect;
    uint8_t springEffect;
    uint8_t reserved43;
    int8_t staticForceReduction;
    int8_t nonLinearity;
    uint8_t slewRate;
    int8_t endStopMaxForce;
    int8_t endStopStiffness;
    int32_t softEndStopDegrees;
    uint8_t softEndStopEnabled;

    // Values a first profile starts with when the list is empty. Index and
    // name are set by the list; every other byte keeps what the slot held.
    static void applyFirstProfileDefaults(OrvUsbWheelBaseProfileV5& profile)
    {
        profile.rotationDegrees = 900;
        profile.encoderType = 3;
        profile.encoderResolution = 0x400000;
        profile.maxForce = 50;
        profile.generalSmoothing = 1;
        profile.damping = 1;
    }
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbWheelBaseProfileV5) == 54, "wheel base profile record size");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, index) == 0, "index");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, name) == 1, "name");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, centerOffset) == 17, "centerOffset");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, rotationDegrees) == 21, "rotationDegrees");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, encoderType) == 25, "encoderType");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, encoderResolution) == 26, "encoderResolution");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, maxForce) == 30, "maxForce");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, generalSmoothing) == 34, "generalSmoothing");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, damping) == 35, "damping");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, friction) == 36, "friction");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, inertia) == 37, "inertia");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, spring) == 38, "spring");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, dampingEffect) == 39, "dampingEffect");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, frictionEffect) == 40, "frictionEffect");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, inertiaEffect) == 41, "inertiaEffect");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, springEffect) == 42, "springEffect");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, reserved43) == 43, "reserved43");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, staticForceReduction) == 44,
              "staticForceReduction");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, nonLinearity) == 45, "nonLinearity");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, slewRate) == 46, "slewRate");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, endStopMaxForce) == 47, "endStopMaxForce");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, endStopStiffness) == 48, "endStopStiffness");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, softEndStopDegrees) == 49, "softEndStopDegrees");
static_assert(offsetof(OrvUsbWheelBaseProfileV5, softEndStopEnabled) == 53, "softEndStopEnabled");
